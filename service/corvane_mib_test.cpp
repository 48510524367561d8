// The MIB beside the programs must describe what the traps carry: no MIB
// compiler can load it offline here (the base modules are not packaged), so
// this reads its definitions and holds them against the trap composer.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <optional>

#include "platform/system/text_file.h"
#include "service/trap_composer.h"

namespace corvane::service {
namespace {

using ::testing::ElementsAreArray;

struct MibObject {
  std::string parent;
  uint32_t arc = 0;
  std::vector<std::string> syntax;  // empty for a plain OBJECT IDENTIFIER
};

struct MibTrap {
  std::string enterprise;
  std::vector<std::string> variables;
  uint32_t specific = 0;
};

struct Mib {
  std::string module;
  std::map<std::string, MibObject> objects;
  std::map<std::string, MibTrap> traps;

  // The dotted object identifier of a name; nothing when a name on the way
  // is not defined.
  std::optional<std::string> Resolve(const std::string& name) const {
    if (name == "enterprises") return "1.3.6.1.4.1";  // imported from RFC1155-SMI
    const auto found = objects.find(name);
    if (found == objects.end()) return std::nullopt;
    const auto parent = Resolve(found->second.parent);
    if (!parent) return std::nullopt;
    return *parent + "." + std::to_string(found->second.arc);
  }
};

std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> tokens;
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (text.compare(i, 2, "--") == 0) {
      i = text.find('\n', i);
      if (i == std::string::npos) break;
    } else if (c == '"') {
      const size_t end = text.find('"', i + 1);
      tokens.push_back(text.substr(i, end - i + 1));
      i = end + 1;
    } else if (text.compare(i, 3, "::=") == 0) {
      tokens.push_back("::=");
      i += 3;
    } else if (std::isalnum(static_cast<unsigned char>(c))) {
      size_t end = i;
      while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-')) {
        ++end;
      }
      tokens.push_back(text.substr(i, end - i));
      i = end;
    } else {
      tokens.push_back(std::string(1, c));
      ++i;
    }
  }
  return tokens;
}

Mib ReadMib(const std::string& text) {
  const std::vector<std::string> t = Tokens(text);
  Mib mib;
  if (t.size() > 3 && t[1] == "DEFINITIONS" && t[2] == "::=" && t[3] == "BEGIN" && t.back() == "END") {
    mib.module = t[0];
  }
  auto assignment = [&](size_t from) {  // "::= { parent arc }" at or after `from`
    while (from < t.size() && t[from] != "::=") ++from;
    MibObject object;
    if (from + 4 < t.size() && t[from + 1] == "{" && t[from + 4] == "}") {
      object.parent = t[from + 2];
      object.arc = static_cast<uint32_t>(std::stoul(t[from + 3]));
    }
    return object;
  };
  // The macro names in IMPORTS are not definitions.
  size_t first = 1;
  if (const auto imports = std::find(t.begin(), t.end(), "IMPORTS"); imports != t.end()) {
    first = static_cast<size_t>(std::find(imports, t.end(), ";") - t.begin()) + 2;
  }
  for (size_t i = first; i + 1 < t.size(); ++i) {
    const std::string& name = t[i - 1];
    if (t[i] == "OBJECT" && t[i + 1] == "IDENTIFIER" && i + 2 < t.size() && t[i + 2] == "::=") {
      mib.objects[name] = assignment(i);
    } else if (t[i] == "OBJECT-TYPE") {
      MibObject object = assignment(i);
      size_t s = i;
      while (t[s] != "SYNTAX") ++s;
      for (++s; t[s] != "ACCESS"; ++s) object.syntax.push_back(t[s]);
      mib.objects[name] = object;
    } else if (t[i] == "TRAP-TYPE") {
      MibTrap trap;
      size_t s = i;
      while (t[s] != "ENTERPRISE") ++s;
      trap.enterprise = t[s + 1];
      while (t[s] != "VARIABLES") ++s;
      for (s += 2; t[s] != "}"; ++s) {
        if (t[s] != ",") trap.variables.push_back(t[s]);
      }
      while (t[s] != "::=") ++s;
      trap.specific = static_cast<uint32_t>(std::stoul(t[s + 1]));
      mib.traps[name] = trap;
    }
  }
  return mib;
}

class CorvaneMibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("CORVANE_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    mib_ = ReadMib(platform::ReadWholeFile(std::filesystem::path(bin) / "CORVANE-MIB"));
  }

  // The trap is defined with this enterprise and specific-trap, and lists
  // exactly these variables in order, each under `parent` with a syntax
  // that fits its type code.
  void CheckTrap(const std::string& trap_name, std::string_view enterprise, const std::string& parent,
                 const std::vector<TrapVariable>& sent) {
    SCOPED_TRACE(trap_name);
    ASSERT_TRUE(mib_.traps.contains(trap_name));
    const MibTrap& trap = mib_.traps.at(trap_name);
    EXPECT_EQ(mib_.Resolve(trap.enterprise), std::string(enterprise));
    EXPECT_EQ(trap.specific, static_cast<uint32_t>(kTrapSpecific));

    std::vector<std::string> listed;
    for (const std::string& variable : trap.variables)
      listed.push_back(mib_.Resolve(variable).value_or(variable));
    std::vector<std::string> carried;
    for (const TrapVariable& variable : sent) carried.push_back(variable.oid);
    EXPECT_THAT(listed, ElementsAreArray(carried));

    for (size_t i = 0; i < trap.variables.size() && i < sent.size(); ++i) {
      const MibObject& object = mib_.objects.at(trap.variables[i]);
      SCOPED_TRACE(trap.variables[i]);
      EXPECT_EQ(object.parent, parent);
      ASSERT_FALSE(object.syntax.empty());
      if (sent[i].type_code == platform::kSnmpTypeInteger) {
        EXPECT_EQ(object.syntax[0], "INTEGER");
      } else {
        const bool text =
            object.syntax[0] == "DisplayString" ||
            (object.syntax.size() > 1 && object.syntax[0] == "OCTET" && object.syntax[1] == "STRING");
        EXPECT_TRUE(text) << object.syntax[0];
      }
    }
  }

  Mib mib_;
};

TEST_F(CorvaneMibTest, DefinesTheModuleAndResolvesEveryName) {
  EXPECT_EQ(mib_.module, "CORVANE-MIB");
  std::map<std::string, std::string> seen;
  for (const auto& [name, object] : mib_.objects) {
    const auto oid = mib_.Resolve(name);
    ASSERT_TRUE(oid) << name;
    EXPECT_TRUE(oid->starts_with("1.3.6.1.4.1.7365")) << name;
    EXPECT_TRUE(seen.emplace(*oid, name).second) << name << " repeats " << seen[*oid];
  }
  EXPECT_EQ(mib_.traps.size(), 2u);
}

TEST_F(CorvaneMibTest, EventTrapMatchesWhatSendTrapCarries) {
  CheckTrap("winEvent", kEventTrapEnterprise, "corvaneEvent", EventTrapVariables(EventRecord{}, 1));
  EXPECT_EQ(mib_.Resolve("corvaneEvent"), "1.3.6.1.4.1.7365.1.17.1.1");
}

TEST_F(CorvaneMibTest, InfoTrapMatchesWhatWriteAppEventCarries) {
  CheckTrap("corvaneServiceEvent", kInfoTrapEnterprise, "corvaneInfo",
            InfoTrapVariables("0.0.0.0", "frmCorvaneSrv", "dartSvc_State", "", EntryType::kInformation));
  EXPECT_EQ(mib_.Resolve("corvaneInfo"), "1.3.6.1.4.1.7365.2.1.1");
}

}  // namespace
}  // namespace corvane::service
