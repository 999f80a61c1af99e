#include "cli/db_url.h"

#include <filesystem>

#include "automation/text.h"
#include "cli/cli.h"

namespace fs = std::filesystem;

namespace tw::cli {

namespace {

// A usage error about the URL ("<before> URL <after>"): the URL is shown
// without its password.
CliError urlError(const std::string& before, const std::string& url, const std::string& after = {}) {
  return usageError(before + " " + redactedUrl(url) + after + "; use " + kUrlForms);
}

std::string percentDecode(std::string_view text, const std::string& url) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    auto hex = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    if (i + 2 >= text.size()) throw urlError("bad %-escape in the database URL", url);
    int hi = hex(text[i + 1]);
    int lo = hex(text[i + 2]);
    if (hi < 0 || lo < 0) throw urlError("bad %-escape in the database URL", url);
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return out;
}

// A URL part as written back: "%" and what would end the part or be read
// as an escape ("?", "&", "#", "/", "@", ":", "+", blanks, control
// characters) become %-escapes; other text, UTF-8 included, stays readable.
std::string percentEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F || std::string_view("%?&#/@:+=").find(c) != std::string_view::npos) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace

std::string redactedUrl(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  const size_t start = scheme + 3;
  // The user part ends at the last "@": a password may hold "@" or "/"
  // that were not escaped.
  const size_t at = url.rfind('@');
  if (at != std::string::npos && at >= start) {
    const size_t colon = url.find(':', start);
    if (colon == std::string::npos || colon > at) return url;
    return url.substr(0, colon + 1) + "***" + url.substr(at);
  }
  // No user part: "USER:PASSWORD/DB" cannot be told from "HOST:PORT/DB"
  // unless the text after the colon is a number.
  const size_t slash = url.find('/', start);
  const size_t end = slash == std::string::npos ? url.size() : slash;
  const size_t colon = url.find(':', start);
  if (colon == std::string::npos || colon > end) return url;
  const std::string after = url.substr(colon + 1, end - colon - 1);
  if (!after.empty() && after.find_first_not_of("0123456789") == std::string::npos) return url;
  return url.substr(0, colon + 1) + "***" + url.substr(end);
}

namespace {

DbUrl parse(const std::string& url, bool jdbc);

}  // namespace

DbUrl parseUrl(const std::string& url) {
  // TYPE+jdbc: the same database through its Java driver.
  std::string lowered = toLower(url);
  size_t plus = lowered.find("+jdbc:");
  if (plus != std::string::npos && plus < lowered.find(':')) {
    const std::string plain = url.substr(0, plus) + url.substr(plus + 5);
    try {
      DbUrl u = parse(plain, true);
      u.method = "JDBC";
      return u;
    } catch (CliError& e) {
      // Messages show the URL as it was given.
      std::string message = e.what();
      const std::string shownPlain = redactedUrl(plain), shown = redactedUrl(url);
      if (size_t at = message.find(shownPlain); at != std::string::npos)
        message.replace(at, shownPlain.size(), shown);
      throw usageError(message);
    }
  }
  return parse(url, false);
}

namespace {

DbUrl parse(const std::string& url, bool jdbc) {
  DbUrl u;
  std::string lowered = toLower(url);
  if (lowered.rfind("sqlite:", 0) == 0) {
    std::string path = url.substr(7);
    // sqlite:///abs/path and sqlite://rel are read like sqlite:/abs/path and sqlite:rel.
    if (path.rfind("//", 0) == 0) path.erase(0, 2);
    if (path.empty()) throw urlError("the database URL", url, " names no file");
    u.type = "sqlite";
    u.database = absolute(path);
    return u;
  }
  size_t scheme = lowered.find("://");
  std::string name = scheme == std::string::npos ? std::string() : lowered.substr(0, scheme);
  const bool postgres = name == "postgresql" || name == "postgres";
  const bool oracle = name == "oracle";
  if (name != "mysql" && name != "mariadb" && !postgres && !oracle)
    throw usageError("unrecognised database URL \"" + redactedUrl(url) + "\"; use " + kUrlForms);
  if (oracle && !jdbc)
    throw usageError("unrecognised database URL \"" + redactedUrl(url) +
                     "\": Oracle is reached through its Java driver, oracle+jdbc://; use " + kUrlForms);
  u.type = postgres ? "postgresql" : oracle ? "oracle" : "mysql";
  std::string rest = url.substr(scheme + 3);
  if (oracle) {
    // ?sid=SID names the instance; the path, when given, the service.
    size_t question = rest.find('?');
    if (question != std::string::npos && rest.find('@') != std::string::npos && question < rest.rfind('@'))
      question = rest.find('?', rest.rfind('@'));
    if (question != std::string::npos) {
      std::string_view query = std::string_view(rest).substr(question + 1);
      while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view item = query.substr(0, amp);
        if (item.rfind("sid=", 0) != 0 || item.size() == 4)
          throw urlError("unknown parameter \"" + std::string(item) + "\" in the database URL", url);
        u.sid = percentDecode(item.substr(4), url);
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
      }
      rest.erase(question);
      if (!rest.empty() && rest.back() == '/') rest.pop_back();
      // The SID names the database when no service does.
      if (rest.find('/') == std::string::npos) rest += "/" + u.sid;
    }
  }
  size_t slash = rest.find('/');
  if (slash == std::string::npos || slash + 1 >= rest.size())
    throw urlError("the database URL", url, " names no database");
  std::string path = rest.substr(slash + 1);
  if (postgres) {
    // ?schema=NAME: the schema whose tables are read.
    size_t question = path.find('?');
    if (question != std::string::npos) {
      std::string_view query = std::string_view(path).substr(question + 1);
      while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view item = query.substr(0, amp);
        if (item.rfind("schema=", 0) != 0 || item.size() == 7)
          throw urlError("unknown parameter \"" + std::string(item) + "\" in the database URL", url);
        u.schema = percentDecode(item.substr(7), url);
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
      }
      path.erase(question);
    }
    if (path.empty()) throw urlError("the database URL", url, " names no database");
  }
  u.database = percentDecode(path, url);
  std::string authority = rest.substr(0, slash);
  size_t at = authority.rfind('@');
  if (at == std::string::npos)
    throw urlError("the database URL", url, " names no user");
  std::string userInfo = authority.substr(0, at);
  std::string hostPort = authority.substr(at + 1);
  size_t colon = userInfo.find(':');
  u.user = percentDecode(userInfo.substr(0, colon), url);
  if (colon != std::string::npos) {
    u.password = percentDecode(userInfo.substr(colon + 1), url);
    u.hasPassword = true;
  }
  if (u.user.empty()) throw urlError("the database URL", url, " names no user");
  // [v6 address]:port or host:port.
  size_t portColon = std::string::npos;
  if (!hostPort.empty() && hostPort.front() == '[') {
    size_t close = hostPort.find(']');
    if (close == std::string::npos)
      throw urlError("bad host in the database URL", url);
    u.host = hostPort.substr(1, close - 1);
    if (close + 1 < hostPort.size()) {
      if (hostPort[close + 1] != ':')
        throw urlError("bad host in the database URL", url);
      portColon = close + 1;
    }
  } else {
    portColon = hostPort.rfind(':');
    u.host = hostPort.substr(0, portColon);
  }
  if (u.host.empty()) throw urlError("the database URL", url, " names no host");
  if (portColon != std::string::npos) {
    u.port = hostPort.substr(portColon + 1);
    bool digits =
        !u.port.empty() && u.port.size() <= 5 && u.port.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stol(u.port) < 1 || std::stol(u.port) > 65535)
      throw urlError("bad port \"" + u.port + "\" in the database URL", url);
  }
  return u;
}

}  // namespace

std::string describe(const DbUrl& u) {
  const std::string scheme = u.type + (u.method == "JDBC" ? "+jdbc" : "");
  if (u.type == "sqlite") return scheme + ":" + u.database;
  std::string host = u.host.find(':') != std::string::npos ? "[" + u.host + "]" : u.host;
  std::string out = scheme + "://" + percentEncoded(u.user) + "@" + host + (u.port.empty() ? "" : ":" + u.port) +
                    "/" + percentEncoded(u.database);
  if (!u.schema.empty()) out += "?schema=" + percentEncoded(u.schema);
  if (!u.sid.empty()) out += "?sid=" + percentEncoded(u.sid);
  return out;
}

std::string storedUrl(const DbUrl& u) {
  if (u.type != "postgresql") return {};
  if (u.method != "JDBC") return describe(u);
  std::string host = u.host.find(':') != std::string::npos ? "[" + u.host + "]" : u.host;
  return "jdbc:postgresql://" + host + ":" + (u.port.empty() ? "5432" : u.port) + "/" + percentEncoded(u.database) +
         (u.schema.empty() ? "" : "?currentSchema=" + percentEncoded(u.schema));
}


}  // namespace tw::cli
