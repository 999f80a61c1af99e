// Fuzzes reading a database URL given on the command line. A URL is read or
// refused with a usage error; no message about it ever holds its password.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/cli.h"
#include "cli/db_url.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string url(reinterpret_cast<const char*>(data), size);
  // The password as written: between the first ":" after "//" and the last
  // "@", when the URL has that shape and it is long enough to be told apart.
  std::string secret;
  if (size_t scheme = url.find("://"); scheme != std::string::npos) {
    size_t at = url.rfind('@');
    size_t colon = url.find(':', scheme + 3);
    if (at != std::string::npos && colon != std::string::npos && colon < at) secret = url.substr(colon + 1, at - colon - 1);
  }
  const bool telling = secret.size() >= 6 && url.find(secret) == url.rfind(secret);
  try {
    tw::cli::DbUrl u = tw::cli::parseUrl(url);
    check(u.type == "sqlite" || u.type == "mysql");
    if (telling) check(tw::cli::describe(u).find(secret) == std::string::npos);
  } catch (const tw::cli::CliError& e) {
    check(e.code() == tw::cli::kExitUsage);
    if (telling) check(std::string(e.what()).find(secret) == std::string::npos);
  }
  if (telling) check(tw::cli::redactedUrl(url).find(secret) == std::string::npos);
  return 0;
}
