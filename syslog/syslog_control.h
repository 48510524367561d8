#pragma once
// The control class SysLog: the thin dispatch layer that turns ISysLog calls
// into engine operations, converts strings by the code page, turns component
// codes into statuses with error information, and fires the engine's events
// to every connected sink in connection order.

#include <cstdint>
#include <vector>

#include "platform/clock/clock.h"
#include "syslog/isyslog.h"
#include "syslog/os/socket_api.h"
#include "syslog/syslog_port.h"

namespace ostrel {

class SysLog final : public ISysLog,
                     public IConnectionPointContainer,
                     public IControlHosting,
                     public IClockInjection,
                     private SysLogEventSink {
 public:
  // A new control with one reference held by the caller. `api` (and `clock`,
  // when given) must outlive it; no clock means the real one.
  static SysLog* Create(os::SocketApi& api = os::SystemSocketApi(),
                        corvane::platform::Clock* clock = nullptr);

  // IUnknown
  Status QueryInterface(const Guid& iid, void** object) override;
  uint32_t AddRef() override;
  uint32_t Release() override;

  // IDispatch
  Status GetIDOfName(const std::u16string& name, DispId* id) override;
  Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                ExcepInfo* excep_info) override;

  // ISysLog
  Status get_Active(VariantBool* value) override;
  Status put_Active(VariantBool value) override;
  Status get_LocalHost(std::u16string* value) override;
  Status put_LocalHost(const std::u16string& value) override;
  Status get_LocalPort(int32_t* value) override;
  Status put_LocalPort(int32_t value) override;
  Status get_RemoteHost(std::u16string* value) override;
  Status put_RemoteHost(const std::u16string& value) override;
  Status get_RemotePort(int32_t* value) override;
  Status put_RemotePort(int32_t value) override;
  Status get_PacketInPacketB(Variant* value) override;
  Status put_PacketInPacketB(const Variant& value) override;
  Status Config(const std::u16string& configuration_string, std::u16string* result) override;
  Status DoEvents() override;
  Status SendPacket(int16_t facility, int16_t severity, const std::u16string& message) override;
  Status OnStartPage(IUnknown* piUnk) override;
  Status OnEndPage() override;

  // IConnectionPointContainer
  Status FindConnectionPoint(const Guid& iid, IConnectionPoint** point) override;

  // IControlHosting
  Status SetClientSite(IControlSite* site) override;
  Status Load(const PropertyBag& bag) override;
  Status Save(PropertyBag* bag) override;

  // IClockInjection
  Status SetClock(corvane::platform::Clock* clock) override;

  // The engine, for tests that drive its raw events.
  SysLogPort& engine() { return engine_; }

 private:
  class EventPoint final : public IConnectionPoint {
   public:
    explicit EventPoint(SysLog& owner) : owner_(owner) {}
    Status QueryInterface(const Guid& iid, void** object) override;
    uint32_t AddRef() override { return owner_.AddRef(); }
    uint32_t Release() override { return owner_.Release(); }
    Status GetConnectionInterface(Guid* iid) override;
    Status Advise(IUnknown* sink, uint32_t* cookie) override;
    Status Unadvise(uint32_t cookie) override;

    // Calls every connected sink in connection order.
    void Fire(DispId id, std::vector<Variant>& args);

   private:
    struct Connection {
      uint32_t cookie;
      ComPtr<IDispatch> sink;
    };
    SysLog& owner_;
    std::vector<Connection> connections_;
    uint32_t next_cookie_ = 1;
  };

  SysLog(os::SocketApi& api, corvane::platform::Clock* clock);
  ~SysLog();

  // SysLogEventSink
  void SetCodePage(int code_page) override { sink_code_page_ = code_page; }
  void FireError(int error_code, std::string_view description) override;
  void FirePacketIn(const ReceivedPacket& packet) override;

  // Starts a member: the thread's error information is cleared.
  void Begin();
  // Turns a component code into the member's status and error information.
  Status Finish(int code, uint32_t help_context);
  Status FailWith(Status status, const char* description, uint32_t help_context);
  Status ToBytes(const std::u16string& text, std::string* bytes);
  Status ToWide(std::string_view bytes, std::u16string* text);
  std::u16string EventText(std::string_view bytes, bool exact_length);
  bool InDesignMode();

  uint32_t references_ = 1;
  SysLogPort engine_;
  EventPoint events_;
  int sink_code_page_ = 0;
  // The datagram whose PacketIn is being fired; null outside that event.
  const std::string_view* packet_in_ = nullptr;
  ComPtr<IControlSite> site_;
  bool on_server_page_ = false;
};

}  // namespace ostrel
