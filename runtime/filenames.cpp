// File names of the run and path expansion.
#include <cstdlib>
#include <memory>
#include <string>

#include "runtime/cstring.hpp"
#include "runtime/system.hpp"

namespace {

constexpr std::string_view kFull = "${full_circuit_name}";
constexpr std::string_view kShort = "${circuit_name}";

kiv::FileNames &files() { return GetGlobalSystem()->files; }

size_t lastSeparator(std::string_view s) { return s.find_last_of("/\\"); }

// The circuit-name placeholders replaced, or false when there is none.
bool expandCircuit(std::string_view name, std::string &out) {
  if (name.substr(0, kFull.size()) == kFull) {
    out = files().circuit;
    out += name.substr(kFull.size());
    return true;
  }
  size_t pos = name.find(kShort);
  if (pos == std::string_view::npos) return false;
  out.clear();
  size_t from = 0;
  for (; pos != std::string_view::npos; pos = name.find(kShort, from)) {
    out += name.substr(from, pos - from);
    out += files().circuit_no_path;
    from = pos + kShort.size();
  }
  out += name.substr(from);
  return true;
}

// Environment reference at the start of name: "$VAR", "${VAR}", "%VAR%" or
// "%VAR", ended by "/" or "\\". 1 expanded, 0 none, -1 unknown variable.
int expandEnv(std::string_view name, std::string &out, std::string &var) {
  if (name.empty() || (name[0] != '$' && name[0] != '%')) return 0;
  size_t sep = name.find_first_of("/\\");
  std::string_view head = name.substr(1, sep == std::string_view::npos ? std::string_view::npos : sep - 1);
  if (name[0] == '$' && head.size() >= 2 && head.front() == '{' && head.back() == '}')
    head = head.substr(1, head.size() - 2);
  else if (name[0] == '%' && !head.empty() && head.back() == '%')
    head.remove_suffix(1);
  var.assign(head);
  const char *value = var.empty() ? nullptr : std::getenv(var.c_str());
  if (!value) return -1;
  out = value;
  if (sep != std::string_view::npos) out += name.substr(sep);
  return 1;
}

}  // namespace

extern "C" {

void KivSetFileNames(const char *working_dir, const char *circuit_name, const char *extension) {
  auto &f = files();
  f.working_dir = working_dir ? working_dir : "";
  std::string_view c(circuit_name ? circuit_name : "");
  size_t sep = lastSeparator(c);
  if (sep == std::string_view::npos && !f.working_dir.empty()) {
    f.circuit = f.working_dir;
    if (f.circuit.back() != '/') f.circuit += '/';
    f.circuit += c;
  } else {
    f.circuit.assign(c);
  }
  f.circuit_no_path.assign(sep == std::string_view::npos ? c : c.substr(sep + 1));
  f.extension = extension ? extension : "";
}

void KivSetReloadPending(int pending) { files().reload_pending = pending != 0; }

const char *GetCircuitName(void) { return files().circuit.c_str(); }

const char *GetCircuitNameNoPath(void) { return files().circuit_no_path.c_str(); }

const char *GetFileNameExtension(void) {
  const auto &e = files().extension;
  return e.empty() ? nullptr : e.c_str();
}

const char *GetWorkingDirectory(void) { return files().working_dir.c_str(); }

char *GetInputFilenameExtensionWithReloadIfNeeded(void) {
  const auto &f = files();
  std::string r;
  if (!f.extension.empty()) r = "." + f.extension;
  if (f.reload_pending) r += ".rld";
  return kiv::dupText(r, "GetInputFilenameExtensionWithReloadIfNeeded");
}

void CheckEnvVar(const char *name, char **out) {
  if (!out) return;
  *out = nullptr;
  if (!name) return;
  std::string expanded, var;
  int r = expandEnv(name, expanded, var);
  if (r < 0) {
    kivfprintf(stderr, "Cannot interpret path of file %s. %s is not a known ", kiv::quoteCut(name).c_str(),
               kiv::quoteCut(var).c_str());
    kivfprintf(stderr, "environment variable.\n");
  } else if (r > 0) {
    *out = kiv::dupText(expanded, "CheckEnvVar");
  }
}

int CheckCircuitName(const char *name, char **result) {
  if (!result) return 0;
  *result = nullptr;
  std::string out;
  if (!name || !expandCircuit(name, out)) return 0;
  *result = kiv::dupText(out, "CheckCircuitName");
  return 1;
}

char *kivReplaceEnvVariablesInFilepath(const char *path) {
  if (!path) return nullptr;
  std::string cur(path), tmp, var;
  if (expandCircuit(cur, tmp)) cur.swap(tmp);
  char *raw = nullptr;
  CheckEnvVar(cur.c_str(), &raw);
  const std::unique_ptr<char, decltype(&std::free)> env(raw, &std::free);
  if (env) cur = env.get();
  return kiv::dupText(cur, "kivReplaceEnvVariablesInFilepath");
}

}  // extern "C"
