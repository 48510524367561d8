#pragma once
// The small object model the syslog control is built on: 32-bit statuses,
// interface identifiers, reference-counted interfaces, variants, late-bound
// invocation by dispatch identifier, connection points for events, class
// factories and the per-thread error information. It holds exactly what the
// control and its hosts need and is not a general object system.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#if defined(_WIN32)
#define OSTREL_EXPORT __declspec(dllexport)
#else
#define OSTREL_EXPORT __attribute__((visibility("default")))
#endif

namespace ostrel {

// A status: negative on failure. Success is kOk.
using Status = int32_t;

constexpr Status kOk = 0;
constexpr Status kFalse = 1;
constexpr Status kNotImplemented = static_cast<Status>(0x80004001);
constexpr Status kNoInterface = static_cast<Status>(0x80004002);
constexpr Status kPointer = static_cast<Status>(0x80004003);
constexpr Status kFail = static_cast<Status>(0x80004005);
constexpr Status kInvalidArgument = static_cast<Status>(0x80070057);
constexpr Status kNoAggregation = static_cast<Status>(0x80040110);
constexpr Status kClassNotAvailable = static_cast<Status>(0x80040111);
constexpr Status kClassNotRegistered = static_cast<Status>(0x80040154);
constexpr Status kRegistryWrite = static_cast<Status>(0x80004005);
constexpr Status kMemberNotFound = static_cast<Status>(0x80020003);
constexpr Status kTypeMismatch = static_cast<Status>(0x80020005);
constexpr Status kUnknownName = static_cast<Status>(0x80020006);
constexpr Status kException = static_cast<Status>(0x80020009);
constexpr Status kBadParamCount = static_cast<Status>(0x8002000E);
constexpr Status kNoConnection = static_cast<Status>(0x80040200);
// The control's own failures: error number n is the status 0x800A0000 | n.
constexpr Status kControlErrorBase = static_cast<Status>(0x800A0000);
constexpr Status kControlOutOfMemory = static_cast<Status>(0x800A0007);

constexpr bool Failed(Status status) { return status < 0; }
constexpr Status StatusForErrorNumber(int32_t error_number) {
  return static_cast<Status>(0x800A0000u | static_cast<uint32_t>(error_number & 0xFFFF));
}

struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];

  friend bool operator==(const Guid&, const Guid&) = default;
};

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}", upper-case hexadecimal.
std::string GuidToString(const Guid& guid);
bool GuidFromString(std::string_view text, Guid* guid);

// Automation truth values: -1 is true, 0 false.
using VariantBool = int16_t;
constexpr VariantBool kVariantTrue = -1;
constexpr VariantBool kVariantFalse = 0;

class IUnknown {
 public:
  virtual Status QueryInterface(const Guid& iid, void** object) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IUnknown() = default;
};

// Holds one reference to an interface and releases it when it goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(T* object) : object_(object) {  // NOLINT: adopts a new reference
    if (object_) object_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
  ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~ComPtr() {
    if (object_) object_->Release();
  }

  // For out-parameters that hand over a reference already counted.
  T** Receive() {
    Reset();
    return &object_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
  void Reset() {
    if (object_) std::exchange(object_, nullptr)->Release();
  }
  T* get() const { return object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

// A one-dimensional array of unsigned bytes with lower bound 0.
using ByteArray = std::vector<uint8_t>;

// The variant types the control's members and events pass.
class Variant {
 public:
  enum class Type { kEmpty, kBool, kInt16, kInt32, kString, kByteArray, kUnknown };

  Variant() = default;
  static Variant Bool(bool value) { return Variant(Value(std::in_place_index<1>, value)); }
  static Variant Int16(int16_t value) { return Variant(Value(std::in_place_index<2>, value)); }
  static Variant Int32(int32_t value) { return Variant(Value(std::in_place_index<3>, value)); }
  static Variant String(std::u16string value) {
    return Variant(Value(std::in_place_index<4>, std::move(value)));
  }
  static Variant Bytes(ByteArray value) {
    return Variant(Value(std::in_place_index<5>, std::move(value)));
  }
  // Does not hold a reference: the caller keeps the object alive for the call.
  static Variant Unknown(IUnknown* value) { return Variant(Value(std::in_place_index<6>, value)); }

  Type type() const { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const { return type() == Type::kEmpty; }
  // Reads the value converted as automation would (numbers and Booleans mix,
  // numbers in range only, strings only from strings); false on a mismatch.
  bool ToBool(bool* out) const;
  bool ToInt16(int16_t* out) const;
  bool ToInt32(int32_t* out) const;
  bool ToString(std::u16string* out) const;
  const ByteArray* AsBytes() const { return std::get_if<5>(&value_); }
  IUnknown* AsUnknown() const {
    auto* unknown = std::get_if<6>(&value_);
    return unknown ? *unknown : nullptr;
  }

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  using Value =
      std::variant<std::monostate, bool, int16_t, int32_t, std::u16string, ByteArray, IUnknown*>;
  explicit Variant(Value value) : value_(std::move(value)) {}
  Value value_;
};

using DispId = int32_t;
constexpr DispId kDispIdUnknown = -1;

enum class InvokeKind : uint16_t { kMethod = 1, kPropertyGet = 2, kPropertyPut = 4 };

// What a failing late-bound call reports besides its status.
struct ExcepInfo {
  std::u16string source;
  std::u16string description;
  std::u16string help_file;
  uint32_t help_context = 0;
  Status status = kOk;
};

// Late binding: members are reached by dispatch identifier. Arguments are in
// declaration order (not reversed); a callee may write into them as by-reference
// parameters.
class IDispatch : public IUnknown {
 public:
  virtual Status GetIDOfName(const std::u16string& name, DispId* id) = 0;
  virtual Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                        ExcepInfo* excep_info) = 0;

 protected:
  ~IDispatch() = default;
};

class IConnectionPoint : public IUnknown {
 public:
  virtual Status GetConnectionInterface(Guid* iid) = 0;
  // Connects a sink; it is called after every sink connected before it.
  virtual Status Advise(IUnknown* sink, uint32_t* cookie) = 0;
  virtual Status Unadvise(uint32_t cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
 public:
  virtual Status FindConnectionPoint(const Guid& iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

class IClassFactory : public IUnknown {
 public:
  virtual Status CreateInstance(IUnknown* outer, const Guid& iid, void** object) = 0;
  virtual Status LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

// The host's side of a placed control: its ambient properties.
class IControlSite : public IUnknown {
 public:
  // True at run time, false while the container is in design mode.
  virtual Status GetAmbientUserMode(VariantBool* user_mode) = 0;

 protected:
  ~IControlSite() = default;
};

// Property values a control persists with its container, by name.
using PropertyBag = std::map<std::u16string, Variant>;

// How a container places a control and saves and restores its properties.
class IControlHosting : public IUnknown {
 public:
  virtual Status SetClientSite(IControlSite* site) = 0;
  virtual Status Load(const PropertyBag& bag) = 0;
  virtual Status Save(PropertyBag* bag) = 0;

 protected:
  ~IControlHosting() = default;
};

// The per-thread error information a failing member leaves for its caller.
struct ErrorInfo {
  std::u16string source;
  std::u16string description;
  std::u16string help_file;
  uint32_t help_context = 0;
};

inline constexpr Guid kIidIUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidIDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidIClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid kIidIConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr Guid kIidIConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr Guid kIidIControlSite = {
    0x6E1A3C52, 0x41B7, 0x4F0A, {0x9D, 0x53, 0x0B, 0x8E, 0x27, 0x61, 0x4A, 0x01}};
inline constexpr Guid kIidIControlHosting = {
    0x6E1A3C52, 0x41B7, 0x4F0A, {0x9D, 0x53, 0x0B, 0x8E, 0x27, 0x61, 0x4A, 0x02}};

}  // namespace ostrel

// The library's entry points, found by name after the library is loaded.
extern "C" {
OSTREL_EXPORT ostrel::Status DllCanUnloadNow();
OSTREL_EXPORT ostrel::Status DllGetClassObject(const ostrel::Guid& clsid, const ostrel::Guid& iid,
                                               void** object);
OSTREL_EXPORT ostrel::Status DllRegisterServer();
OSTREL_EXPORT ostrel::Status DllUnregisterServer();
// Takes the calling thread's error information (kFalse when there is none).
OSTREL_EXPORT ostrel::Status GetErrorInfo(ostrel::ErrorInfo* info);
}
