#include "tools/powershell/stand_in.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

#include "common/events/text_encoding.h"
#include "tools/powershell/list_writer.h"
#include "tools/powershell/script.h"

namespace corvane::powershell {
namespace {

using events::Utf8ToUtf16;

// A failure of one statement: "<cmdlet> : <message>" on the error stream.
struct CommandError {
  std::string command;
  std::string message;
};

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) { return Lowered(a) == Lowered(b); }

// `*` and `?` wildcards, ignoring case, as -ListLog matches names.
bool WildcardMatch(std::string_view text, std::string_view pattern) {
  const std::string t = Lowered(text), p = Lowered(pattern);
  size_t ti = 0, pi = 0, star = std::string::npos, resume = 0;
  while (ti < t.size()) {
    if (pi < p.size() && (p[pi] == '?' || p[pi] == t[ti])) {
      ++ti, ++pi;
    } else if (pi < p.size() && p[pi] == '*') {
      star = pi++, resume = ti;
    } else if (star != std::string::npos) {
      pi = star + 1, ti = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == '*') ++pi;
  return pi == p.size();
}

// Parameters as PowerShell binds them: names ignore case and may be cut to
// any unambiguous prefix; the first bare value binds to `positional`.
struct ParameterSpec {
  std::string_view name;
  bool is_switch = false;
};

std::map<std::string, std::vector<std::string>> Bind(const CommandCall& call, std::string_view display_name,
                                                     std::initializer_list<ParameterSpec> specs,
                                                     std::string_view positional) {
  std::map<std::string, std::vector<std::string>> bound;
  const auto& args = call.arguments;
  for (size_t i = 0; i < args.size(); ++i) {
    if (!args[i].parameter) {
      if (positional.empty() || bound.contains(std::string(positional))) {
        throw CommandError{
            std::string(display_name),
            "A positional parameter cannot be found that accepts argument '" + args[i].values.front() + "'."};
      }
      bound[std::string(positional)] = args[i].values;
      continue;
    }
    const std::string typed = *args[i].parameter;
    std::vector<const ParameterSpec*> matches;
    for (const auto& spec : specs) {
      if (EqualsIgnoringCase(spec.name, typed)) {
        matches = {&spec};
        break;
      }
      if (Lowered(spec.name).starts_with(Lowered(typed))) matches.push_back(&spec);
    }
    if (matches.empty()) {
      throw CommandError{std::string(display_name),
                         "A parameter cannot be found that matches parameter name '" + typed + "'."};
    }
    if (matches.size() > 1) {
      std::string names;
      for (const auto* spec : matches) names += " -" + std::string(spec->name);
      throw CommandError{std::string(display_name),
                         "Parameter cannot be processed because the "
                         "parameter name '" +
                             typed + "' is ambiguous. Possible matches include:" + names + "."};
    }
    const std::string name(matches.front()->name);
    if (matches.front()->is_switch) {
      bound[name] = {};
      continue;
    }
    if (i + 1 >= args.size() || args[i + 1].parameter) {
      throw CommandError{std::string(display_name), "Missing an argument for parameter '" + name + "'."};
    }
    bound[name] = args[++i].values;
  }
  return bound;
}

// One object on the pipeline: its properties in their own order.
using Object = std::vector<std::pair<std::string, std::string>>;

const std::string* FindProperty(const Object& object, std::string_view name,
                                std::string* canonical = nullptr) {
  for (const auto& [label, value] : object) {
    if (EqualsIgnoringCase(label, name)) {
      if (canonical != nullptr) *canonical = label;
      return &value;
    }
  }
  return nullptr;
}

Object EventObject(const std::string& log, const platform::StoredEvent& e) {
  return {{"LogName", log},
          {"RecordId", std::to_string(e.RecordId)},
          {"TimeCreated", e.TimeCreated},
          {"LevelDisplayName", e.LevelDisplayName},
          {"ProviderName", e.ProviderName},
          {"TaskDisplayName", e.TaskDisplayName},
          {"Id", std::to_string(e.Id)},
          {"UserId", e.UserId},
          {"MachineName", e.MachineName},
          {"Message", e.Message}};
}

std::vector<Object> GetWinEvent(const CommandCall& call, const platform::EventLogStore& store) {
  constexpr std::string_view kName = "Get-WinEvent";
  auto bound = Bind(call, kName, {{"LogName"}, {"MaxEvents"}, {"ListLog"}}, "LogName");
  std::vector<Object> objects;

  if (bound.contains("ListLog")) {
    const auto logs = store.List();
    for (const auto& pattern : bound["ListLog"]) {
      bool found = false;
      for (const auto& log : logs) {
        if (!WildcardMatch(log.name, pattern)) continue;
        found = true;
        objects.push_back({{"LogName", log.name},
                           {"RecordCount", log.record_count ? std::to_string(*log.record_count) : ""}});
      }
      if (!found && pattern.find_first_of("*?") == std::string::npos) {
        throw CommandError{
            std::string(kName),
            "There is not an event log on the localhost computer that matches \"" + pattern + "\"."};
      }
    }
    return objects;
  }

  if (!bound.contains("LogName")) {
    throw CommandError{std::string(kName),
                       "This stand-in reads a log by -LogName or lists the "
                       "logs by -ListLog."};
  }
  const auto& names = bound["LogName"];
  if (names.size() != 1) {
    throw CommandError{std::string(kName), "This stand-in reads one log at a time."};
  }
  int64_t max_events = INT64_MAX;
  if (bound.contains("MaxEvents")) {
    const std::string& text = bound["MaxEvents"].front();
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), max_events);
    if (ec != std::errc() || end != text.data() + text.size()) {
      throw CommandError{std::string(kName),
                         "Cannot bind parameter 'MaxEvents'. Cannot convert "
                         "value \"" +
                             text + "\" to type \"System.Int64\"."};
    }
    if (max_events < 1) {
      throw CommandError{std::string(kName), "Cannot validate argument on parameter 'MaxEvents'. The " +
                                                 text +
                                                 " argument is less than the minimum allowed range of 1."};
    }
  }
  // The name is looked up as the literal text it is; nothing in it is run.
  const std::string& name = names.front();
  const auto log = store.Find(name);
  if (!log) {
    throw CommandError{std::string(kName),
                       "There is not an event log on the localhost computer that matches \"" + name + "\"."};
  }
  std::optional<std::vector<platform::StoredEvent>> records;
  try {
    records = store.Read(*log);
  } catch (const std::runtime_error& e) {
    throw CommandError{std::string(kName), e.what()};
  }
  if (!records || records->empty()) {
    throw CommandError{std::string(kName),
                       "No events were found that match the specified selection criteria."};
  }
  // Newest first, as the event log hands them out.
  const size_t count = static_cast<size_t>(std::min<int64_t>(max_events, records->size()));
  for (size_t i = 0; i < count; ++i) {
    objects.push_back(EventObject(*log, (*records)[records->size() - 1 - i]));
  }
  return objects;
}

void SortObject(const CommandCall& call, std::vector<Object>& objects) {
  auto bound = Bind(call, "Sort-Object", {{"Property"}, {"Descending", true}}, "Property");
  const bool descending = bound.contains("Descending");
  const std::vector<std::string> properties = bound["Property"];
  const auto key_less = [&](const Object& a, const Object& b) {
    for (const auto& property : properties) {
      const std::string* x = FindProperty(a, property);
      const std::string* y = FindProperty(b, property);
      if (x == nullptr || y == nullptr) continue;
      int64_t nx = 0, ny = 0;
      const bool numeric = std::from_chars(x->data(), x->data() + x->size(), nx).ec == std::errc() &&
                           std::from_chars(y->data(), y->data() + y->size(), ny).ec == std::errc() &&
                           !x->empty() && !y->empty();
      if (numeric ? nx == ny : Lowered(*x) == Lowered(*y)) continue;
      const bool less = numeric ? nx < ny : Lowered(*x) < Lowered(*y);
      return descending ? !less : less;
    }
    return false;
  };
  std::stable_sort(objects.begin(), objects.end(), key_less);
}

std::u16string FormatListOf(const CommandCall& call, const std::vector<Object>& objects, int width) {
  auto bound = Bind(call, "Format-List", {{"Property"}}, "Property");
  const std::vector<std::string> wanted = bound["Property"];
  std::vector<ListObject> list;
  for (const auto& object : objects) {
    ListObject shown;
    if (wanted.empty() || (wanted.size() == 1 && wanted.front() == "*")) {
      for (const auto& [label, value] : object) shown.emplace_back(Utf8ToUtf16(label), Utf8ToUtf16(value));
    } else {
      // Labels are the properties' own names, whatever the case typed; a
      // property the object lacks is left out.
      for (const auto& property : wanted) {
        std::string label;
        if (const std::string* value = FindProperty(object, property, &label)) {
          shown.emplace_back(Utf8ToUtf16(label), Utf8ToUtf16(*value));
        }
      }
    }
    list.push_back(std::move(shown));
  }
  return FormatList(list, width);
}

// Runs one statement; the redirection target is opened (and emptied) before
// the commands run, so a failing command leaves an empty file.
void RunStatement(const Statement& statement, const StandInContext& context) {
  std::ofstream file;
  if (statement.output_file) {
    file.open(*statement.output_file,
              std::ios::binary | (statement.append ? std::ios::app : std::ios::trunc));
    if (!file) {
      throw CommandError{"out-file", "Could not find a part of the path '" + *statement.output_file + "'."};
    }
  }
  const auto& pipeline = statement.pipeline;
  const std::string first = Lowered(pipeline.front().name);
  if (first == "set-executionpolicy") {
    if (pipeline.size() > 1) {
      throw CommandError{"Set-ExecutionPolicy", "This stand-in does not pipe this command."};
    }
    return;  // accepted; there is no execution policy here
  }
  if (first != "get-winevent") {
    throw CommandError{pipeline.front().name,
                       "The term '" + pipeline.front().name +
                           "' is not recognized as the name of a cmdlet, function, script file, "
                           "or operable program. Check the spelling of the name, or if a path "
                           "was included, verify that the path is correct and try again."};
  }
  for (size_t i = 1; i < pipeline.size(); ++i) {
    const std::string name = Lowered(pipeline[i].name);
    const bool last = i + 1 == pipeline.size();
    if (name != "sort-object" && !(last && name == "format-list")) {
      throw CommandError{pipeline[i].name,
                         "This stand-in pipes get-winevent only through "
                         "sort-object into a final format-list."};
    }
  }
  if (Lowered(pipeline.back().name) != "format-list") {
    throw CommandError{pipeline.front().name,
                       "This stand-in writes get-winevent's output only through format-list."};
  }

  std::vector<Object> objects = GetWinEvent(pipeline.front(), context.store);
  for (size_t i = 1; i + 1 < pipeline.size(); ++i) SortObject(pipeline[i], objects);
  const std::u16string text = FormatListOf(pipeline.back(), objects, context.width);
  if (!statement.output_file) {
    context.console << events::Utf16ToUtf8(text);
    return;
  }
  if (text.empty()) return;
  std::string bytes = events::EncodeUtf16LeWithBom(text);
  if (statement.append && file.tellp() > 0) bytes.erase(0, 2);
  file << bytes;
  file.close();
  if (!file) throw CommandError{"out-file", "Cannot write '" + *statement.output_file + "'."};
}

}  // namespace

int RunScript(std::string_view text, const StandInContext& context) {
  const auto parsed = ParseScript(text);
  if (const auto* error = std::get_if<ParseError>(&parsed)) {
    context.errors
        << "At line:1 char:1\n"
        << error->message << "\n"
        << "    + CategoryInfo          : ParserError: (:) [], ParentContainsErrorRecordException\n";
    return 1;
  }
  int status = 0;
  for (const auto& statement : std::get<std::vector<Statement>>(parsed)) {
    try {
      RunStatement(statement, context);
    } catch (const CommandError& error) {
      context.errors << error.command << " : " << error.message << "\n";
      status = 1;
    } catch (const std::exception& error) {
      context.errors << statement.pipeline.front().name << " : " << error.what() << "\n";
      status = 1;
    }
  }
  return status;
}

int ListWidthFromEnvironment() {
  const char* text = std::getenv("CORVANE_PSH_WIDTH");
  if (text == nullptr) return kDefaultWidth;
  int width = 0;
  const std::string_view view(text);
  const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), width);
  if (ec != std::errc() || end != view.data() + view.size() || width < 1) return kDefaultWidth;
  return width;
}

}  // namespace corvane::powershell
