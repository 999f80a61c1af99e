#pragma once
// The VBScript virtual machine: modules with their global entries, call
// frames, the interpreter loop, the Err object state and the time-out.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "automation/dispatch.h"
#include "vbs/builtins.h"
#include "vbs/bytecode.h"

namespace tw::vbs {

class Runtime;
class ScriptObject;
struct CompiledUnit;

enum class EntryKind : uint8_t {
  Undefined,  // named by code, not (yet) declared
  Variable,
  Constant,
  Procedure,
  HostObject,  // published with AddObject: value holds it
  HostMember,  // member of an object published with its members
};

struct GlobalEntry {
  std::string name;
  EntryKind kind = EntryKind::Undefined;
  bool fixedArray = false;
  Variant value;
  Ref<Proc> proc;
  DispId member = kDispIdUnknown;
  uint32_t hostGeneration = 0;  // host objects searched in vain at this generation
};

// One module: a global namespace of entries, classes and procedures.
class ModuleState : public RefCounted {
 public:
  ModuleState(Runtime* rt, std::string name) : rt(rt), name(std::move(name)) {}
  ~ModuleState() override;

  Runtime* rt;  // null once the host dropped the module
  std::string name;
  std::vector<GlobalEntry*> entries;
  std::unordered_map<std::string, Ref<ClassDef>, NoCaseHash, NoCaseEqual> classes;
  std::vector<int32_t> procOrder;  // entries holding procedures, in definition order

  int32_t intern(std::string_view n);
  int32_t find(std::string_view n) const;
  GlobalEntry& entry(int32_t i) { return *entries[static_cast<size_t>(i)]; }
  // Drops every value (running Class_Terminate of objects held) and code.
  void clear();

 private:
  std::deque<GlobalEntry> storage_;
  std::unordered_map<std::string, int32_t, NoCaseHash, NoCaseEqual> index_;
};

// The Err object's state.
struct ErrState {
  int32_t number = 0;
  std::string description;
  std::string source;
  std::string helpFile;
  int32_t helpContext = 0;
  // Set by Err.Raise for the error it throws: its help file and context.
  bool raised = false;
  std::string raisedHelpFile;
  int32_t raisedHelpContext = 0;
  void clear() {
    number = 0;
    description.clear();
    source.clear();
    helpFile.clear();
    helpContext = 0;
  }
};

// Where the last uncaught error happened.
struct ErrorLocation {
  bool known = false;
  SourcePos pos;
  Ref<SourceText> source;
};

struct Frame;

// Frames live in chunks that never move, so ByRef pointers into a caller's
// slots stay valid; frames are freed in the reverse order of creation.
class FrameArena {
 public:
  FrameArena() = default;
  FrameArena(const FrameArena&) = delete;
  FrameArena& operator=(const FrameArena&) = delete;
  struct Mark {
    size_t chunk = 0;
    size_t offset = 0;
  };
  // 16-byte aligned memory.
  void* allocate(size_t bytes) {
    bytes = (bytes + 15) & ~size_t{15};
    if (offset_ + bytes <= limit_) {
      void* p = base_ + offset_;
      offset_ += bytes;
      return p;
    }
    return allocateInNextChunk(bytes);
  }
  Mark mark() const { return {chunk_, offset_}; }
  void release(Mark m) {
    if (m.chunk != chunk_) enterChunk(m.chunk);
    offset_ = m.offset;
  }

 private:
  static constexpr size_t kChunk = 256 * 1024;
  void* allocateInNextChunk(size_t bytes);
  void enterChunk(size_t chunk);
  std::vector<std::unique_ptr<char[]>> chunks_;
  std::vector<size_t> sizes_;
  size_t chunk_ = 0;
  size_t offset_ = 0;
  char* base_ = nullptr;  // the current chunk and its size
  size_t limit_ = 0;
};

inline constexpr int32_t kErrScriptTimeout = static_cast<int32_t>(0x80004004u);
inline constexpr int32_t kErrEngineReset = static_cast<int32_t>(0x8000FFFFu);

class Runtime : public RefCounted {
 public:
  Runtime();
  ~Runtime() override;

  // ---- Host side
  struct HostObject {
    std::string name;
    Ref<Dispatch> object;
    bool addMembers;
  };
  void addObject(std::string_view name, Ref<Dispatch> obj, bool addMembers);
  void clearObjects();
  const std::vector<HostObject>& hostObjects() const { return hostObjects_; }
  uint32_t hostGeneration() const { return hostGeneration_; }

  void setTimeout(int32_t ms) { timeoutMs_ = ms; }
  int32_t timeout() const { return timeoutMs_; }
  // With this on, running out of memory ends the script like a time-out:
  // On Error Resume Next does not go past it (an Err.Raise of the number
  // still resumes).
  void setOutOfMemoryEndsScript(bool on) { outOfMemoryEnds_ = on; }
  // Starts the clock of one host call (AddCode, Run, Eval...); nested host
  // calls (from a host object back into the script) keep the outer clock.
  void beginHostCall();
  void endHostCall();

  // Adds a compiled unit to a module and runs its script-level code.
  void install(ModuleState& mod, CompiledUnit& unit);
  Variant runGlobalCode(ModuleState& mod, Proc& code);
  // Calls a procedure with arguments that ByRef parameters may change.
  Variant call(Proc& proc, ScriptObject* me, ModuleState& mod, Args args);
  // Runs Class_Terminate; errors in it are dropped.
  void terminate(ScriptObject& obj) noexcept;
  // Makes a new instance of a class and runs Class_Initialize.
  Ref<ScriptObject> instantiate(ClassDef& cls, ModuleState& mod);

  ErrState& err() { return err_; }
  Dispatch* errObject() { return errObject_.get(); }
  RuntimeState& libraryState() { return lib_; }
  ErrorLocation& lastLocation() { return location_; }
  // Told of every error On Error Resume Next lets pass.
  void setSkipObserver(std::function<void(const SkippedError&)> observer) { skipObserver_ = std::move(observer); }

  // Set once the host is gone: script objects still held raise errors.
  bool closed() const { return closed_; }
  void close();

  // Live script objects. releaseOrphans frees the fields of those that
  // belong to modules the host dropped, which frees instances that only
  // reference each other.
  void track(ScriptObject* obj) noexcept;
  void untrack(ScriptObject* obj) noexcept;
  void releaseOrphans() noexcept;

  // Member id of a name on an object, kept per call site.
  static DispId memberIdCached(Dispatch& obj, CallSite& site, const std::string& name);

 private:
  friend struct Frame;
  friend class Interpreter;

  std::vector<HostObject> hostObjects_;
  uint32_t hostGeneration_ = 1;

  int32_t timeoutMs_ = -1;
  bool outOfMemoryEnds_ = false;
  int32_t hostDepth_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  bool hasDeadline_ = false;
  int32_t ticks_ = 0;

  ErrState err_;
  Ref<Dispatch> errObject_;
  RuntimeState lib_;
  ErrorLocation location_;
  std::function<void(const SkippedError&)> skipObserver_;
  bool closed_ = false;
  ScriptObject* live_ = nullptr;

  // Interpreter state.
  FrameArena arena_;
  int32_t frameDepth_ = 0;
  int32_t nesting_ = 0;  // interpreter loops running inside each other
  const char* stackBase_ = nullptr;
  std::vector<SafeArray*> locks_;

 public:
  // Used by the interpreter.
  void tick();
  void checkTimeout();
  Frame* newFrame(Proc& proc, ModuleState& mod, ScriptObject* me, Frame* caller);
  void freeFrame(Frame* f) noexcept;
  Variant execute(Frame* entry);
  void unlockTo(size_t n) noexcept;
  bool recover(Frame*& f, const Instr*& ip, Variant*& sp, const Error& e);
  bool recoverAt(Frame*& current, const Error& e);
  Variant run(Frame*& current);
  int32_t& frameDepth() { return frameDepth_; }

 private:
  // Instruction handlers outside the interpreter loop. Those returning a
  // frame return the script procedure to enter, or null when done.
  Variant* argElement(Frame* f, const Instr& in, Variant* sp);
  Variant* indexed(Frame* f, const Instr& in, Variant* sp);
  Variant* storeIndex(Frame* f, const Instr& in, Variant* sp);
  void erase(Frame* f, const Instr& in);
  Variant* concatParts(const Instr& in, Variant* sp);
  Variant* append(Frame* f, const Instr& in, Variant* sp);
  const Instr* eachInit(Frame* f, const Instr* ip, Variant*& sp);
  const Instr* eachNext(Frame* f, const Instr* ip);
  Variant* procedureRef(Frame* f, Variant* sp);
  void declareDynamic(Frame* f, const Instr& in);
  Variant* dimension(Frame* f, const Instr& in, Variant* sp);
  Frame* getMember(Frame* f, const Instr* ip, Variant*& sp);
  Frame* putMember(Frame* f, const Instr* ip, Variant*& sp);
  Frame* evaluate(Frame* f, const Instr* ip, Variant*& sp);
  // A frame for a script procedure with its arguments bound.
  Frame* enter(Frame* caller, Proc& proc, ModuleState& mod, ScriptObject* me, Variant* args, int n,
               uint64_t refMask, uint16_t elemRefs, bool discard);
  // A global name without arguments that is no variable: a host member's
  // value pushed at sp (null returned), or the frame of the procedure called.
  Frame* callByName(Frame* f, const Instr* ip, Variant* sp);
  // CallGlb of a name that is no script procedure; the new stack top, or
  // null when the name became a procedure meanwhile.
  Variant* callOther(Frame* f, const Instr& in, Variant* sp);
  // CallMe with arguments of a member without parameters: its value indexed.
  Variant* indexMemberValue(Frame* f, const Instr& in, Variant* sp, Proc& member);
  std::vector<SafeArray*>& locks() { return locks_; }
};

// Script-level globals, host objects and members a module's code can reach
// by name at run time (Run, GetRef).
GlobalEntry* lookupGlobal(ModuleState& mod, std::string_view name);

// value(args): an element of an array or the default member of an object.
Variant indexValue(const Variant& v, Variant* args, int n, uint16_t kind = kInvokeGet | kInvokeMethod);
// target(args) = value; args has room for the value after the n indexes.
void storeIndexed(Variant& target, Variant* args, int n, Variant&& value, bool isSet);
// Stores into a variable; an array holding a ByRef argument cannot be replaced.
[[noreturn]] void raiseArrayLocked();
inline void assignTo(Variant& dst, Variant&& v) {
  if (dst.type() == vtArray && dst.rawArray()->locks > 0) raiseArrayLocked();
  dst.clear();
  new (&dst) Variant(std::move(v));
}

}  // namespace tw::vbs
