#pragma once
// The Java virtual machine the JDBC side of the bridge runs in. The runtime
// library (libjvm.so) is loaded at run time, so the program runs without
// Java and says so when a Java connection is asked for. A process can create
// one virtual machine only: it is started on first use with the driver JARs
// known then on its class path and kept until the process ends.
#include <string>
#include <string_view>
#include <vector>

namespace tw::jvm {

// The Java runtime of the system's default Java installation.
inline constexpr std::string_view kDefaultRuntimeLib = "/usr/lib/jvm/default-java/lib/server/libjvm.so";
// The Debian package that brings a Java runtime, for messages.
inline constexpr std::string_view kRuntimePackage = "default-jre-headless";

// True when this build can start a Java runtime at all (it cannot when built
// without the JNI headers or with AddressSanitizer, whose signal handling
// the runtime's own conflicts with); `why` receives the reason otherwise.
bool supported(std::string* why = nullptr);

// The runtime library to load: `setting` (the file itself or a Java home
// folder holding lib/server/libjvm.so) when not empty, else the default
// runtime, else the first runtime found below /usr/lib/jvm. Empty when none
// exists.
std::string findRuntime(std::string_view setting);

// Starts the process's virtual machine with these JARs on its class path
// (a no-op when it already runs). Returns an error text, empty on success.
std::string start(std::string_view runtimeSetting, const std::vector<std::string>& classPath);

// True once the virtual machine runs.
bool loaded() noexcept;

// The JARs the running virtual machine was started with.
const std::vector<std::string>& classPath() noexcept;

}  // namespace tw::jvm
