#pragma once
// The syslog control as its hosts see it: the dual interface ISysLog, the
// event interface _ISysLogEvents, their identifiers, and a base class that
// turns late-bound event calls into C++ calls for hosts written in C++.

#include <cstdint>
#include <string>

#include "syslog/com/com.h"

namespace corvane::platform {
class Clock;
}

namespace ostrel {

inline constexpr Guid kClsidSysLog = {
    0x3C8E5F10, 0x7A2D, 0x4B61, {0x8F, 0x04, 0x52, 0xD1, 0x9A, 0x6B, 0x30, 0x11}};
inline constexpr Guid kIidISysLog = {
    0x3C8E5F10, 0x7A2D, 0x4B61, {0x8F, 0x04, 0x52, 0xD1, 0x9A, 0x6B, 0x30, 0x12}};
inline constexpr Guid kIidISysLogEvents = {
    0x3C8E5F10, 0x7A2D, 0x4B61, {0x8F, 0x04, 0x52, 0xD1, 0x9A, 0x6B, 0x30, 0x13}};
inline constexpr Guid kLibidSysLogLib = {
    0x3C8E5F10, 0x7A2D, 0x4B61, {0x8F, 0x04, 0x52, 0xD1, 0x9A, 0x6B, 0x30, 0x14}};
inline constexpr Guid kIidIClockInjection = {
    0x3C8E5F10, 0x7A2D, 0x4B61, {0x8F, 0x04, 0x52, 0xD1, 0x9A, 0x6B, 0x30, 0x15}};

inline constexpr char kProgIdVersionIndependent[] = "Quendor.SysLog";
inline constexpr char kProgIdVersion1[] = "Quendor.SysLog.1";
inline constexpr char kProgIdLegacy[] = "Quendor8.SysLog";

namespace dispid {
constexpr DispId kActive = 1;
constexpr DispId kLocalHost = 2;
constexpr DispId kLocalPort = 3;
constexpr DispId kRemoteHost = 4;
constexpr DispId kRemotePort = 5;
constexpr DispId kPacketInPacketB = 6;
constexpr DispId kConfig = 502;
constexpr DispId kDoEvents = 503;
constexpr DispId kSendPacket = 504;
constexpr DispId kOnStartPage = 505;
constexpr DispId kOnEndPage = 506;

constexpr DispId kError = 1;
constexpr DispId kPacketIn = 2;
}  // namespace dispid

// Members in interface order. Every member returns a status; on failure the
// thread's error information describes it.
class ISysLog : public IDispatch {
 public:
  virtual Status get_Active(VariantBool* value) = 0;
  virtual Status put_Active(VariantBool value) = 0;
  virtual Status get_LocalHost(std::u16string* value) = 0;
  virtual Status put_LocalHost(const std::u16string& value) = 0;
  virtual Status get_LocalPort(int32_t* value) = 0;
  virtual Status put_LocalPort(int32_t value) = 0;
  virtual Status get_RemoteHost(std::u16string* value) = 0;
  virtual Status put_RemoteHost(const std::u16string& value) = 0;
  virtual Status get_RemotePort(int32_t* value) = 0;
  virtual Status put_RemotePort(int32_t value) = 0;
  virtual Status get_PacketInPacketB(Variant* value) = 0;
  virtual Status put_PacketInPacketB(const Variant& value) = 0;
  // The result is delivered even when the call fails (then empty).
  virtual Status Config(const std::u16string& configuration_string, std::u16string* result) = 0;
  virtual Status DoEvents() = 0;
  virtual Status SendPacket(int16_t facility, int16_t severity, const std::u16string& message) = 0;
  virtual Status OnStartPage(IUnknown* piUnk) = 0;
  virtual Status OnEndPage() = 0;

 protected:
  ~ISysLog() = default;
};

// Lets a host (or a test) hand the control the clock its packet headers read;
// null restores the real clock. Not part of the dispatch interface.
class IClockInjection : public IUnknown {
 public:
  virtual Status SetClock(corvane::platform::Clock* clock) = 0;

 protected:
  ~IClockInjection() = default;
};

// The parameters of PacketIn, in event order.
struct PacketInArgs {
  int16_t facility_code = 0;
  std::u16string facility;
  int16_t severity_code = 0;
  std::u16string severity;
  std::u16string timestamp;
  std::u16string hostname;
  std::u16string message;
  bool conforms = false;
  std::u16string packet;
  std::u16string source_address;
  int32_t source_port = 0;
};

// A C++ event sink: implements the dispatch-only _ISysLogEvents by decoding
// the late-bound call and calling Error or PacketIn. Values a handler writes
// back are ignored by the control.
class SysLogEventsBase : public IDispatch {
 public:
  virtual ~SysLogEventsBase() = default;

  virtual void Error(int16_t& error_code, std::u16string& description) = 0;
  virtual void PacketIn(PacketInArgs& args) = 0;

  Status QueryInterface(const Guid& iid, void** object) override {
    if (!object) return kPointer;
    if (iid == kIidIUnknown || iid == kIidIDispatch || iid == kIidISysLogEvents) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return kOk;
    }
    *object = nullptr;
    return kNoInterface;
  }
  // Sinks are usually owned by their host; counting keeps the contract.
  uint32_t AddRef() override { return ++references_; }
  uint32_t Release() override { return --references_; }

  Status GetIDOfName(const std::u16string& name, DispId* id) override {
    if (name == u"Error")
      *id = dispid::kError;
    else if (name == u"PacketIn")
      *id = dispid::kPacketIn;
    else
      return kUnknownName;
    return kOk;
  }

  Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* /*result*/,
                ExcepInfo* /*excep_info*/) override {
    if (kind != InvokeKind::kMethod) return kMemberNotFound;
    if (id == dispid::kError) {
      if (args.size() != 2) return kBadParamCount;
      int16_t code = 0;
      std::u16string description;
      if (!args[0].ToInt16(&code) || !args[1].ToString(&description)) return kTypeMismatch;
      Error(code, description);
      return kOk;
    }
    if (id == dispid::kPacketIn) {
      if (args.size() != 11) return kBadParamCount;
      PacketInArgs packet;
      bool conforms = false;
      if (!args[0].ToInt16(&packet.facility_code) || !args[1].ToString(&packet.facility) ||
          !args[2].ToInt16(&packet.severity_code) || !args[3].ToString(&packet.severity) ||
          !args[4].ToString(&packet.timestamp) || !args[5].ToString(&packet.hostname) ||
          !args[6].ToString(&packet.message) || !args[7].ToBool(&conforms) ||
          !args[8].ToString(&packet.packet) || !args[9].ToString(&packet.source_address) ||
          !args[10].ToInt32(&packet.source_port)) {
        return kTypeMismatch;
      }
      packet.conforms = conforms;
      PacketIn(packet);
      return kOk;
    }
    return kMemberNotFound;
  }

 private:
  uint32_t references_ = 0;
};

}  // namespace ostrel
