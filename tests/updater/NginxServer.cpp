#include "updater/NginxServer.h"

#ifdef _WIN32
// nginx and the openssl tool are Linux programs here, which a Windows test
// program cannot start: the tests that need them skip, and the HTTP client's
// own tests run against the scripted server instead.
namespace vexmoor::test {

std::string FindNginx() { return ""; }
bool MakeTestCertificates(const std::string&, TestCertificates&) { return false; }
NginxServer::NginxServer(const std::string&, std::string_view, const TestCertificates*) {}
NginxServer::~NginxServer() = default;
std::string NginxServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}
std::string NginxServer::SecureUrl(std::string_view path, std::string_view host) const {
  return "https://" + std::string(host) + ":" + std::to_string(httpsPort_) + std::string(path);
}
std::string NginxServer::ErrorLog() const { return ""; }

}  // namespace vexmoor::test
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "updater/ScriptedServer.h"

namespace vexmoor::test {

namespace {

using namespace std::chrono_literals;

bool Accepts(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return up;
}

std::string Config(const std::string& prefix, const std::string& root, uint16_t port,
                   uint16_t httpsPort, std::string directives, const TestCertificates* tls) {
  for (size_t at = directives.find("@HTTPS_PORT@"); at != std::string::npos;
       at = directives.find("@HTTPS_PORT@", at)) {
    directives.replace(at, 12, std::to_string(httpsPort));
  }
  if (tls != nullptr) {
    directives = "    listen 127.0.0.1:" + std::to_string(httpsPort) +
                 " ssl;\n"
                 "    ssl_certificate " +
                 tls->cert +
                 ";\n"
                 "    ssl_certificate_key " +
                 tls->key + ";\n" + directives;
  }
  return "master_process off;\n"
         "pid " +
         prefix +
         "/nginx.pid;\n"
         "error_log " +
         prefix +
         "/error.log;\n"
         "events { worker_connections 32; }\n"
         "http {\n"
         "  access_log off;\n"
         "  client_body_temp_path " +
         prefix +
         "/body;\n"
         "  proxy_temp_path " +
         prefix +
         "/proxy;\n"
         "  fastcgi_temp_path " +
         prefix +
         "/fastcgi;\n"
         "  uwsgi_temp_path " +
         prefix +
         "/uwsgi;\n"
         "  scgi_temp_path " +
         prefix +
         "/scgi;\n"
         "  types { text/html html; text/plain txt; }\n"
         "  default_type application/octet-stream;\n"
         "  server {\n"
         "    listen 127.0.0.1:" +
         std::to_string(port) +
         ";\n"
         "    root " +
         root + ";\n" + directives +
         "  }\n"
         "}\n";
}

// Runs `arguments` (the program first, found on PATH) without a shell, its
// output dropped; true when it ran and exited 0.
bool Run(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
    }
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A self-signed authority: `name`.pem and `name`.key in `folder`.
bool MakeCa(const std::string& folder, const std::string& name) {
  return Run({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
              "-nodes", "-days", "2", "-subj", "/CN=Vexmoor test " + name, "-keyout",
              folder + "/" + name + ".key", "-out", folder + "/" + name + ".pem", "-addext",
              "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign"});
}

}  // namespace

bool MakeTestCertificates(const std::string& folder, TestCertificates& made) {
  const std::string extensions = folder + "/server.ext";
  {
    std::ofstream out(extensions);
    out << "subjectAltName=DNS:vexmoor.test,IP:127.0.0.1\n"
           "extendedKeyUsage=serverAuth\n";
  }
  made = {folder + "/ca.pem", folder + "/other-ca.pem", folder + "/server.pem",
          folder + "/server.key"};
  return MakeCa(folder, "ca") && MakeCa(folder, "other-ca") &&
         Run({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
              "-subj", "/CN=vexmoor.test", "-keyout", made.key, "-out", folder + "/server.csr"}) &&
         Run({"openssl", "x509", "-req", "-in", folder + "/server.csr", "-CA", made.ca, "-CAkey",
              folder + "/ca.key", "-CAcreateserial", "-days", "2", "-extfile", extensions, "-out",
              made.cert});
}

std::string FindNginx() {
  for (const char* candidate : {"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/bin/nginx"}) {
    if (::access(candidate, X_OK) == 0) return candidate;
  }
  return "";
}

NginxServer::NginxServer(const std::string& root, std::string_view directives,
                         const TestCertificates* tls) {
  const std::string program = FindNginx();
  if (program.empty()) return;
  port_ = UnusedLoopbackPort();
  do {
    httpsPort_ = UnusedLoopbackPort();
  } while (httpsPort_ == port_);
  prefix_.Write("nginx.conf", Config(prefix_.Path(), root, port_, httpsPort_,
                                     std::string(directives), tls));
  Start(program);
}

NginxServer::~NginxServer() { Stop(); }

void NginxServer::Start(const std::string& program) {
  const std::string prefix = prefix_.Path(), config = prefix_ / "nginx.conf",
                    log = prefix_ / "error.log";
  pid_ = ::fork();
  if (pid_ == 0) {
    ::execl(program.c_str(), program.c_str(), "-p", prefix.c_str(), "-c", config.c_str(), "-e",
            log.c_str(), "-g", "daemon off;", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  for (int attempt = 0; attempt < 200 && pid_ > 0; ++attempt) {
    if (Accepts(port_)) {
      running_ = true;
      return;
    }
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;  // nginx ended: a bad config, or the port was taken meanwhile
      return;
    }
    std::this_thread::sleep_for(25ms);
  }
}

void NginxServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(25ms);
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

std::string NginxServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string NginxServer::SecureUrl(std::string_view path, std::string_view host) const {
  return "https://" + std::string(host) + ":" + std::to_string(httpsPort_) + std::string(path);
}

std::string NginxServer::ErrorLog() const { return ReadFile(prefix_ / "error.log"); }

}  // namespace vexmoor::test
#endif
