#include "syslog/syslog_control.h"

#include <array>

#include "platform/eventloop/qt_clock.h"
#include "syslog/com/error_info.h"
#include "syslog/com/module.h"
#include "syslog/error_codes.h"
#include "syslog/os/code_page.h"

namespace ostrel {
namespace {

constexpr char16_t kSource[] = u"Quendor.SysLog.1";
constexpr char16_t kHelpFile[] = u"ostrel.chm";

namespace help {
constexpr uint32_t kActive = 26201;
constexpr uint32_t kLocalHost = 26202;
constexpr uint32_t kLocalPort = 26203;
constexpr uint32_t kRemoteHost = 26204;
constexpr uint32_t kRemotePort = 26205;
constexpr uint32_t kPacketInPacketB = 36200;
constexpr uint32_t kConfig = 46201;
constexpr uint32_t kDoEvents = 46202;
constexpr uint32_t kSendPacket = 46203;
}  // namespace help

corvane::platform::Clock& RealClock() {
  static corvane::platform::QtClock clock;
  return clock;
}

// Text that has no conversion at all (only the help texts here) is ASCII.
std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

bool NameIs(const std::u16string& name, std::u16string_view member) {
  if (name.size() != member.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c; };
    if (lower(name[i]) != lower(member[i])) return false;
  }
  return true;
}

struct MemberName {
  std::u16string_view name;
  DispId id;
};
constexpr std::array<MemberName, 11> kMembers = {{
    {u"Active", dispid::kActive},
    {u"LocalHost", dispid::kLocalHost},
    {u"LocalPort", dispid::kLocalPort},
    {u"RemoteHost", dispid::kRemoteHost},
    {u"RemotePort", dispid::kRemotePort},
    {u"PacketInPacketB", dispid::kPacketInPacketB},
    {u"Config", dispid::kConfig},
    {u"DoEvents", dispid::kDoEvents},
    {u"SendPacket", dispid::kSendPacket},
    {u"OnStartPage", dispid::kOnStartPage},
    {u"OnEndPage", dispid::kOnEndPage},
}};

}  // namespace

SysLog* SysLog::Create(os::SocketApi& api, corvane::platform::Clock* clock) {
  return new SysLog(api, clock);
}

SysLog::SysLog(os::SocketApi& api, corvane::platform::Clock* clock)
    : engine_(api, clock ? *clock : RealClock()), events_(*this), sink_code_page_(0) {
  engine_.set_event_sink(this);
  LockModule();
}

SysLog::~SysLog() { UnlockModule(); }

Status SysLog::QueryInterface(const Guid& iid, void** object) {
  if (!object) return kPointer;
  if (iid == kIidIUnknown || iid == kIidIDispatch || iid == kIidISysLog) {
    *object = static_cast<ISysLog*>(this);
  } else if (iid == kIidIConnectionPointContainer) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == kIidIControlHosting) {
    *object = static_cast<IControlHosting*>(this);
  } else if (iid == kIidIClockInjection) {
    *object = static_cast<IClockInjection*>(this);
  } else {
    *object = nullptr;
    return kNoInterface;
  }
  AddRef();
  return kOk;
}

uint32_t SysLog::AddRef() { return ++references_; }

uint32_t SysLog::Release() {
  const uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

void SysLog::Begin() { ClearThreadErrorInfo(); }

Status SysLog::FailWith(Status status, const char* description, uint32_t help_context) {
  ErrorInfo info;
  info.source = kSource;
  info.description = Ascii(description);
  if (help_context != 0) {
    info.help_file = kHelpFile;
    info.help_context = help_context;
  }
  SetThreadErrorInfo(std::move(info));
  return status;
}

Status SysLog::Finish(int code, uint32_t help_context) {
  if (code == code::kOk) return kOk;
  if (code == code::kOutOfMemory) return FailWith(kControlOutOfMemory, text::kOutOfMemory, 0);
  std::string description = engine_.error_text();
  if (description.empty()) description = CodeDescription(code);
  ErrorInfo info;
  info.source = kSource;
  info.description = EventText(description, /*exact_length=*/false);
  if (help_context != 0) {
    info.help_file = kHelpFile;
    info.help_context = help_context;
  }
  SetThreadErrorInfo(std::move(info));
  return StatusForCode(code);
}

Status SysLog::ToBytes(const std::u16string& text, std::string* bytes) {
  // The engine sees a zero-terminated string: an embedded zero ends it.
  const std::u16string_view view(text.c_str());
  auto converted = os::WideToBytes(view, engine_.code_page());
  if (!converted) return kInvalidArgument;
  *bytes = std::move(*converted);
  return kOk;
}

Status SysLog::ToWide(std::string_view bytes, std::u16string* text) {
  const size_t zero = bytes.find('\0');
  if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  auto converted = os::BytesToWide(bytes, engine_.code_page());
  if (!converted) return kInvalidArgument;
  *text = std::move(*converted);
  return kOk;
}

std::u16string SysLog::EventText(std::string_view bytes, bool exact_length) {
  if (!exact_length) {
    const size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);
  }
  auto converted = os::BytesToWide(bytes, sink_code_page_);
  if (!converted) converted = os::BytesToWide(bytes, 0);
  return std::move(*converted);
}

bool SysLog::InDesignMode() {
  VariantBool user_mode = kVariantTrue;
  return site_ && !Failed(site_->GetAmbientUserMode(&user_mode)) && user_mode == kVariantFalse;
}

Status SysLog::get_Active(VariantBool* value) {
  Begin();
  if (!value) return kPointer;
  *value = engine_.active() ? kVariantTrue : kVariantFalse;
  return kOk;
}

Status SysLog::put_Active(VariantBool value) {
  Begin();
  return Finish(value != 0 ? engine_.Activate() : engine_.Close(), help::kActive);
}

Status SysLog::get_LocalHost(std::u16string* value) {
  Begin();
  if (!value) return kPointer;
  return ToWide(engine_.GetLocalHost(), value);
}

Status SysLog::put_LocalHost(const std::u16string& value) {
  Begin();
  std::string bytes;
  if (Status status = ToBytes(value, &bytes); Failed(status)) return status;
  return Finish(engine_.SetLocalHost(bytes), help::kLocalHost);
}

Status SysLog::get_LocalPort(int32_t* value) {
  Begin();
  if (!value) return kPointer;
  *value = engine_.LocalPort();
  return kOk;
}

Status SysLog::put_LocalPort(int32_t value) {
  Begin();
  return Finish(engine_.SetLocalPort(value), help::kLocalPort);
}

Status SysLog::get_RemoteHost(std::u16string* value) {
  Begin();
  if (!value) return kPointer;
  return ToWide(engine_.RemoteHostText(), value);
}

Status SysLog::put_RemoteHost(const std::u16string& value) {
  Begin();
  std::string bytes;
  if (Status status = ToBytes(value, &bytes); Failed(status)) return status;
  return Finish(engine_.SetRemoteHost(bytes), help::kRemoteHost);
}

Status SysLog::get_RemotePort(int32_t* value) {
  Begin();
  if (!value) return kPointer;
  *value = engine_.remote_port();
  return kOk;
}

Status SysLog::put_RemotePort(int32_t value) {
  Begin();
  return Finish(engine_.SetRemotePort(value), help::kRemotePort);
}

Status SysLog::get_PacketInPacketB(Variant* value) {
  Begin();
  if (!value) return kPointer;
  if (InDesignMode())
    return FailWith(kStatusRuntimeOnly, text::kRuntimeOnly, help::kPacketInPacketB);
  if (packet_in_ == nullptr) {
    *value = Variant();
  } else {
    *value = Variant::Bytes(ByteArray(packet_in_->begin(), packet_in_->end()));
  }
  return kOk;
}

Status SysLog::put_PacketInPacketB(const Variant&) {
  Begin();
  if (InDesignMode())
    return FailWith(kStatusRuntimeOnly, text::kRuntimeOnly, help::kPacketInPacketB);
  return FailWith(kStatusReadOnly, text::kReadOnly, help::kPacketInPacketB);
}

Status SysLog::Config(const std::u16string& configuration_string, std::u16string* result) {
  Begin();
  if (!result) return kPointer;
  result->clear();
  std::string argument;
  if (Status status = ToBytes(configuration_string, &argument); Failed(status)) return status;
  std::string answer;
  const int code = engine_.Config(argument, &answer);
  if (code != code::kOk) return Finish(code, help::kConfig);
  return ToWide(answer, result);
}

Status SysLog::DoEvents() {
  Begin();
  // A handler run by this step may drop the host's last reference.
  ComPtr<ISysLog> keep_alive(this);
  return Finish(engine_.DoEvents(), help::kDoEvents);
}

Status SysLog::SendPacket(int16_t facility, int16_t severity, const std::u16string& message) {
  Begin();
  std::string bytes;
  if (Status status = ToBytes(message, &bytes); Failed(status)) return status;
  return Finish(engine_.SendPacket(facility, severity, bytes), help::kSendPacket);
}

Status SysLog::OnStartPage(IUnknown*) {
  Begin();
  on_server_page_ = true;
  return kOk;
}

Status SysLog::OnEndPage() {
  Begin();
  return kOk;
}

Status SysLog::GetIDOfName(const std::u16string& name, DispId* id) {
  if (!id) return kPointer;
  for (const auto& member : kMembers) {
    if (NameIs(name, member.name)) {
      *id = member.id;
      return kOk;
    }
  }
  *id = kDispIdUnknown;
  return kUnknownName;
}

Status SysLog::Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                      ExcepInfo* excep_info) {
  Variant ignored;
  if (!result) result = &ignored;
  *result = Variant();
  const bool get = kind == InvokeKind::kPropertyGet || kind == InvokeKind::kMethod;
  const bool put = kind == InvokeKind::kPropertyPut;
  auto expect = [&](size_t count) { return args.size() == count; };

  Status status = kMemberNotFound;
  auto property_int = [&](auto getter, auto setter) {
    if (get && expect(0)) {
      int32_t value = 0;
      status = (this->*getter)(&value);
      if (!Failed(status)) *result = Variant::Int32(value);
    } else if (put && expect(1)) {
      int32_t value = 0;
      status = args[0].ToInt32(&value) ? (this->*setter)(value) : kTypeMismatch;
    } else {
      status = kBadParamCount;
    }
  };
  auto property_string = [&](auto getter, auto setter) {
    if (get && expect(0)) {
      std::u16string value;
      status = (this->*getter)(&value);
      if (!Failed(status)) *result = Variant::String(std::move(value));
    } else if (put && expect(1)) {
      std::u16string value;
      status = args[0].ToString(&value) ? (this->*setter)(value) : kTypeMismatch;
    } else {
      status = kBadParamCount;
    }
  };

  switch (id) {
    case dispid::kActive:
      if (get && expect(0)) {
        VariantBool value = 0;
        status = get_Active(&value);
        *result = Variant::Bool(value != 0);
      } else if (put && expect(1)) {
        int32_t value = 0;
        status = args[0].ToInt32(&value) ? put_Active(value != 0 ? kVariantTrue : kVariantFalse)
                                         : kTypeMismatch;
      } else {
        status = kBadParamCount;
      }
      break;
    case dispid::kLocalHost:
      property_string(&SysLog::get_LocalHost, &SysLog::put_LocalHost);
      break;
    case dispid::kLocalPort:
      property_int(&SysLog::get_LocalPort, &SysLog::put_LocalPort);
      break;
    case dispid::kRemoteHost:
      property_string(&SysLog::get_RemoteHost, &SysLog::put_RemoteHost);
      break;
    case dispid::kRemotePort:
      property_int(&SysLog::get_RemotePort, &SysLog::put_RemotePort);
      break;
    case dispid::kPacketInPacketB:
      if (get && expect(0))
        status = get_PacketInPacketB(result);
      else if (put && expect(1))
        status = put_PacketInPacketB(args[0]);
      else
        status = kBadParamCount;
      break;
    case dispid::kConfig:
      if (kind != InvokeKind::kMethod) break;
      if (!expect(1)) {
        status = kBadParamCount;
      } else {
        std::u16string argument, answer;
        status = args[0].ToString(&argument) ? Config(argument, &answer) : kTypeMismatch;
        if (status != kTypeMismatch) *result = Variant::String(std::move(answer));
      }
      break;
    case dispid::kDoEvents:
      if (kind != InvokeKind::kMethod) break;
      status = expect(0) ? DoEvents() : kBadParamCount;
      break;
    case dispid::kSendPacket:
      if (kind != InvokeKind::kMethod) break;
      if (!expect(3)) {
        status = kBadParamCount;
      } else {
        int16_t facility = 0, severity = 0;
        std::u16string message;
        status =
            args[0].ToInt16(&facility) && args[1].ToInt16(&severity) && args[2].ToString(&message)
                ? SendPacket(facility, severity, message)
                : kTypeMismatch;
      }
      break;
    case dispid::kOnStartPage:
      if (kind != InvokeKind::kMethod) break;
      status = expect(1) ? OnStartPage(args[0].AsUnknown()) : kBadParamCount;
      break;
    case dispid::kOnEndPage:
      if (kind != InvokeKind::kMethod) break;
      status = expect(0) ? OnEndPage() : kBadParamCount;
      break;
    default:
      break;
  }

  // A member's own failure reaches a late-bound caller as an exception with
  // the member's status and error information.
  if (Failed(status) && excep_info) {
    ErrorInfo info;
    if (TakeThreadErrorInfo(&info) == kOk) {
      excep_info->source = std::move(info.source);
      excep_info->description = std::move(info.description);
      excep_info->help_file = std::move(info.help_file);
      excep_info->help_context = info.help_context;
      excep_info->status = status;
      return kException;
    }
  }
  return status;
}

Status SysLog::FindConnectionPoint(const Guid& iid, IConnectionPoint** point) {
  if (!point) return kPointer;
  if (!(iid == kIidISysLogEvents)) {
    *point = nullptr;
    return static_cast<Status>(0x80040200 + 2);  // no such connection point
  }
  *point = &events_;
  events_.AddRef();
  return kOk;
}

Status SysLog::SetClientSite(IControlSite* site) {
  site_ = ComPtr<IControlSite>(site);
  return kOk;
}

Status SysLog::Load(const PropertyBag& bag) {
  Begin();
  if (auto it = bag.find(u"LocalPort"); it != bag.end()) {
    int32_t port = 0;
    if (!it->second.ToInt32(&port)) return kTypeMismatch;
    if (Status status = put_LocalPort(port); Failed(status)) return status;
  }
  if (auto it = bag.find(u"RemoteHost"); it != bag.end()) {
    std::u16string host;
    if (!it->second.ToString(&host)) return kTypeMismatch;
    if (Status status = put_RemoteHost(host); Failed(status)) return status;
  }
  if (auto it = bag.find(u"RemotePort"); it != bag.end()) {
    int32_t port = 0;
    if (!it->second.ToInt32(&port)) return kTypeMismatch;
    if (Status status = put_RemotePort(port); Failed(status)) return status;
  }
  return kOk;
}

Status SysLog::Save(PropertyBag* bag) {
  if (!bag) return kPointer;
  std::u16string remote_host;
  if (Status status = get_RemoteHost(&remote_host); Failed(status)) return status;
  (*bag)[u"LocalPort"] = Variant::Int32(engine_.stored_local_port());
  (*bag)[u"RemoteHost"] = Variant::String(std::move(remote_host));
  (*bag)[u"RemotePort"] = Variant::Int32(engine_.remote_port());
  return kOk;
}

Status SysLog::SetClock(corvane::platform::Clock* clock) {
  engine_.set_clock(clock ? *clock : RealClock());
  return kOk;
}

void SysLog::FireError(int error_code, std::string_view description) {
  ComPtr<ISysLog> keep_alive(this);
  std::vector<Variant> args = {Variant::Int16(static_cast<int16_t>(error_code)),
                               Variant::String(EventText(description, false))};
  events_.Fire(dispid::kError, args);
}

void SysLog::FirePacketIn(const ReceivedPacket& packet) {
  ComPtr<ISysLog> keep_alive(this);
  const std::string_view* outer = packet_in_;
  packet_in_ = &packet.packet;
  std::vector<Variant> args = {
      Variant::Int16(packet.facility_code),
      Variant::String(EventText(packet.facility, false)),
      Variant::Int16(packet.severity_code),
      Variant::String(EventText(packet.severity, false)),
      Variant::String(EventText(packet.timestamp, false)),
      Variant::String(EventText(packet.hostname, false)),
      Variant::String(EventText(packet.message, false)),
      Variant::Bool(packet.conforms),
      Variant::String(EventText(packet.packet, true)),
      Variant::String(EventText(packet.source_address, false)),
      Variant::Int32(packet.source_port),
  };
  events_.Fire(dispid::kPacketIn, args);
  packet_in_ = outer;
}

Status SysLog::EventPoint::QueryInterface(const Guid& iid, void** object) {
  if (!object) return kPointer;
  if (iid == kIidIUnknown || iid == kIidIConnectionPoint) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return kOk;
  }
  *object = nullptr;
  return kNoInterface;
}

Status SysLog::EventPoint::GetConnectionInterface(Guid* iid) {
  if (!iid) return kPointer;
  *iid = kIidISysLogEvents;
  return kOk;
}

Status SysLog::EventPoint::Advise(IUnknown* sink, uint32_t* cookie) {
  if (!sink || !cookie) return kPointer;
  ComPtr<IDispatch> dispatch;
  if (Failed(sink->QueryInterface(kIidISysLogEvents, dispatch.ReceiveVoid())) &&
      Failed(sink->QueryInterface(kIidIDispatch, dispatch.ReceiveVoid()))) {
    *cookie = 0;
    return static_cast<Status>(0x80040202);  // the sink cannot take these events
  }
  *cookie = next_cookie_++;
  connections_.push_back({*cookie, std::move(dispatch)});
  return kOk;
}

Status SysLog::EventPoint::Unadvise(uint32_t cookie) {
  for (auto it = connections_.begin(); it != connections_.end(); ++it) {
    if (it->cookie == cookie) {
      connections_.erase(it);
      return kOk;
    }
  }
  return kNoConnection;
}

void SysLog::EventPoint::Fire(DispId id, std::vector<Variant>& args) {
  // A handler may connect or disconnect sinks; this event goes to the sinks
  // connected when it began. Each sink gets its own copy of the by-reference
  // arguments, and what it writes back is ignored.
  const std::vector<Connection> sinks = connections_;
  for (const Connection& connection : sinks) {
    std::vector<Variant> copy = args;
    connection.sink->Invoke(id, InvokeKind::kMethod, copy, nullptr, nullptr);
  }
}

}  // namespace ostrel
