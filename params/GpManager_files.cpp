// The choice between the XML file and the line-oriented files, and file paths.
#include "params/GpManager_private.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/cstring.hpp"
#include "runtime/numbers.hpp"
#include "runtime/textfile.hpp"
using kiv::gp::ListMark;
using kiv::gp::NamesMark;
using kiv::gp::Path;
using kiv::gp::validArgs;

// ---- Files ---------------------------------------------------------------------

int KIVGPPrivate_IO_OpenFile(const char *path, const char *mode, FILE **file) {
  if (!path || !mode || !file) return -1;
  // As every reader of the library opens its files: a pipe reads as a file
  // does.
  *file = std::strcmp(mode, "r") == 0 ? kiv::openText(path) : std::fopen(path, mode);
  return *file ? 1 : -1;
}

int KIVGPPrivate_IO_CloseFile(FILE **file) {
  if (!file || !*file) return -1;
  const int r = std::fclose(*file);
  *file = nullptr;
  return r == 0 ? 1 : -1;
}

int KIVGPPrivate_IO_IsFileOpen(FILE *const *file) { return file && *file ? 1 : 0; }

int KIVGPPrivate_IO_DoesFileExist(const char *path) {
  // Its reader opens it next: a pipe's text is handed on to it.
  FILE *fp = path ? kiv::openText(path, nullptr, kiv::TextUse::kQuery) : nullptr;
  if (!fp) return -1;
  // Changed since its check, the file was refused on its first bytes.
  const bool refused = kiv::readFailed(fp);
  std::fclose(fp);
  return refused ? -1 : 0;
}

bool kiv::gp::namePresent(const char *path) {
  struct stat st {};
  if (!path) return false;
  if (::lstat(path, &st) == 0) return true;
  // Only a name known to be missing lets the other files stand in for it;
  // one longer than a folder takes is never there.
  return errno != ENOENT && errno != ENOTDIR && errno != ENAMETOOLONG;
}

bool kiv::gp::FileOwner::openToRead(const char *path) {
  if (!path) return false;
  kiv::TextStatus status = kiv::TextStatus::kNotOpened;
  fp = kiv::openText(path, &status);
  if (fp) return true;
  const int error = errno;
  // A failed read was said by name already; a missing name is no failure
  // of the file's own.
  if (status == kiv::TextStatus::kNotOpened && namePresent(path))
    kivfprintf(stderr, "\nCannot open file '%s': %s.\n", path, std::strerror(error));
  return false;
}

char *KIVGPPrivate_IO_ComputeFilePath(const char *name, const char *dir, const char *kind,
                                      const char *ext) {
  if (!name || !dir || !kind || !ext) return nullptr;
  // An empty directory is the current one, never the filesystem root.
  std::string path = *dir ? dir : ".";
  path += '/';
  path += name;
  path += '_';
  path += kind;
  path += ext;
  return kiv::dupText(path, "KIVGPPrivate_IO_ComputeFilePath");
}

namespace {

// Both line-oriented files: every one that exists must read, and one must.
template <class ReadOne>
int readLegacyPair(const char *name, const char *dir, const char *ext, ReadOne readOne) {
  Path gp(name, dir, ".gp", ext), gp2(name, dir, ".gp2", ext);
  if (!gp.p || !gp2.p) return -1;
  const bool has_gp = gp.present(), has_gp2 = gp2.present();
  if (!has_gp && !has_gp2) return -1;
  if (has_gp && readOne(gp.p) != 0) return -1;
  if (has_gp2 && readOne(gp2.p) != 0) return -1;
  return 0;
}


}  // namespace

int KIVGPPrivate_IO_ReadGPsFromLegacyFiles(const char *name, const char *dir, const char *ext,
                                           KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  ListMark mark(list);
  return mark.settle(readLegacyPair(name, dir, ext, [&](const char *path) {
    return KIVGPPrivate_IO_ReadGPsFromLegacyFile(path, list);
  }));
}

int KIVGPPrivate_IO_ReadGPs(const char *name, const char *dir, const char *ext, KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.present()) return KIVGPPrivate_IO_ReadGPsFromXmlFile(xml.p, list);
  return KIVGPPrivate_IO_ReadGPsFromLegacyFiles(name, dir, ext, list);
}

int KIVGPPrivate_IO_ReadModelGPs(const char *name, const char *dir, const char *ext,
                                 KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.present()) return KIVGPPrivate_IO_ReadModelGPsFromXmlFile(xml.p, list);
  Path gp(name, dir, ".gp", ext);
  if (gp.present()) return KIVGPPrivate_IO_ReadGPsFromLegacyFile(gp.p, list);
  std::string older = std::string(*dir ? dir : ".") + "/" + name + ".gp" + ext;
  return KIVGPPrivate_IO_ReadGPsFromLegacyFile(older.c_str(), list);
}

int KIVGPPrivate_IO_ReadSCGPs(const char *name, const char *dir, const char *ext,
                              KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.present()) return KIVGPPrivate_IO_ReadSCGPsFromXmlFile(xml.p, list);
  Path gp2(name, dir, ".gp2", ext);
  return gp2.p ? KIVGPPrivate_IO_ReadGPsFromLegacyFile(gp2.p, list) : -1;
}

int KIVGPPrivate_IO_ReadGPNames(const char *name, const char *dir, const char *ext,
                                KIVGP_StringList *names, int *count) {
  if (!validArgs(name, dir, ext) || !names || !count) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.present()) return KIVGPPrivate_IO_ReadGPNamesFromXmlFile(xml.p, count, names);
  NamesMark mark(names, count);
  return mark.settle(readLegacyPair(name, dir, ext, [&](const char *path) {
    return KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(path, count, names);
  }));
}

int KIVGPPrivate_IO_ReadModelGPNames(const char *name, const char *dir, const char *ext,
                                     KIVGP_StringList *names, int *count) {
  if (!validArgs(name, dir, ext) || !names || !count) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.present()) return KIVGPPrivate_IO_ReadModelGPNamesFromXmlFile(xml.p, count, names);
  Path gp(name, dir, ".gp", ext);
  return gp.p ? KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(gp.p, count, names) : -1;
}

int KIVGPPrivate_IO_ReadSCGPNames(const char *name, const char *dir, const char *ext,
                                  KIVGP_StringList *names, int *count) {
  if (!validArgs(name, dir, ext) || !names || !count) return -1;
  Path xml(name, dir, ".kivgp", ext);
  if (xml.present()) return KIVGPPrivate_IO_ReadSCGPNamesFromXmlFile(xml.p, count, names);
  Path gp2(name, dir, ".gp2", ext);
  return gp2.p ? KIVGPPrivate_IO_ReadGPNamesFromLegacyFile(gp2.p, count, names) : -1;
}

int KIVGPPrivate_IO_ReadGPsFromFile(const char *path, KIVGP_GPList *list) {
  if (!path || !list) return -1;
  const kiv::KeepTexts tried_twice;
  if (KIVGPPrivate_IO_DoesFileExist(path) != 0) return -1;
  if (KIVGPPrivate_IO_ReadGPsFromLegacyFile(path, list) == 0) return 0;
  return KIVGPPrivate_IO_ReadGPsFromXmlFile(path, list);
}

int KIVGPPrivate_IO_WriteGPs(const char *name, const char *dir, const char *ext,
                             const KIVGP_GPList *list) {
  if (!validArgs(name, dir, ext) || !list) return -1;
  Path xml(name, dir, ".kivgp", "");
  if (!xml.p) return -1;
  // A damaged XML file is replaced; line files beside it would never be read.
  const bool has_xml = xml.present() || kiv::gp::namePresent((std::string(xml.p) + ".1").c_str());
  return has_xml ? KIVGPPrivate_IO_WriteGPsToXML(name, dir, ext, list)
                 : KIVGPPrivate_IO_WriteGPsToLegacyFiles(name, dir, ext, list);
}

int KIVGPPrivate_IO_ConvertLegacyFileToXML(const char *name, const char *dir,
                                           const char *output_name, const char *output_dir,
                                           const char *ext) {
  if (!validArgs(name, dir, ext) || !validArgs(output_name, output_dir, ext)) return -1;
  const kiv::gp::RecordList records(KIVGPPrivate_GPList_Create());
  int r = KIVGPPrivate_IO_ReadGPsFromLegacyFiles(name, dir, ext, records.list);
  if (r == 0) r = KIVGPPrivate_IO_WriteGPsToXML(output_name, output_dir, ext, records.list);
  return r;
}
