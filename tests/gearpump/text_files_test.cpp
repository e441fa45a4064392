// Every kind of text file the library reads, read again with a UTF-8
// byte-order mark in front, and again through a named pipe: values and
// messages must be those of the plain file.  Here because the pump's test
// program links every reader.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>

#include "geometry/kiv_geometry.h"
#include "geometry/kiv_gerotor.h"
#include "geometry/kiv_shapeid.h"
#include "hydraulics/kiv_hydraulics.h"
#include "tables/kiv_interpret.h"
#include "tables/kiv_splinend.h"
#include "tables/kiv_tablefiles.h"
#include "tables/kiv_units.h"
#include "support/pipe_feed.hpp"
#include "tests/params/gp_support.hpp"

namespace kiv::test {
namespace {

const std::string kMark = "\xEF\xBB\xBF";

std::string list(const double *v, long n) {
  std::string s;
  char b[32];
  for (long i = 0; v && i < n; ++i) s += (std::snprintf(b, sizeof b, "%.17g ", v[i]), b);
  return s;
}
long sum(const int *s, int n, bool product = false) {
  return s ? std::accumulate(s, s + std::max(n, 0), product ? 1L : 0L,
                             [&](long a, int b) { return product ? a * b : a + b; })
           : 0;
}

// The arrays a reader hands back, freed when the read is done.
struct Arrays {
  int *s = nullptr, *t = nullptr;
  double *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr, *e = nullptr;
  ~Arrays() {
    for (void *p : {(void *)s, (void *)t, (void *)a, (void *)b, (void *)c, (void *)d, (void *)e}) std::free(p);
  }
};

// What the table reader of the format makes of f, in wanted units.
std::string readTable(const std::string &f, int format) {
  const char *u[] = {"Pa", "m", "m", "m"}, *visc[] = {"Pa.s", "bar", "K"}, *t3d[] = {"m", "", "", "Pa"},
             *mm[] = {"mm", "mm", nullptr};
  int n = 0, m = 0, d = 0;
  Arrays r;
  switch (format) {
    case 10: return rtable0du_(f.c_str(), &n, &r.a, u) < 0 ? "" : list(r.a, n);
    case -1:
    case 0: return rtable1du_(f.c_str(), &n, &r.a, &r.b, u) < 0 ? "" : list(r.a, n) + list(r.b, n);
    case 1:
    case 2:
      if (!rtablend_(f.c_str(), &d, &r.s, &r.a, &r.b, u)) return std::string();
      return list(r.a, sum(r.s, d)) + list(r.b, sum(r.s, d, true));
    case 8:
      n = rtablemd_(f.c_str(), &r.s, &r.a, &r.b, &r.c, visc);
      return list(r.a, sum(r.s, n)) + list(r.c, sum(r.s, n)) + list(r.b, n);
    case 11:
      n = rtablem3d_(f.c_str(), &m, &r.s, &r.t, &r.a, &r.b, &r.c, &r.e, t3d);
      return list(r.a, sum(r.s, n)) + list(r.e, sum(r.s, n)) + list(r.c, m);
    case 9: return rtablexy_(f.c_str(), &n, &m, &r.a, nullptr, mm) ? list(r.a, n * m) : "";
    default: return std::string();
  }
}

// What a reader makes of the file f in folder dir: its values, "" when it fails.
using Reader = std::function<std::string(const std::string &f, const std::string &dir)>;
const std::map<std::string, Reader> kReaders = {
    {"table",  // by the format the query finds
     [](const std::string &f, const std::string &) { return readTable(f, GetTableFormat(f.c_str())); }},
    // Each table reader alone, opening its file once.
    {"0D", [](const std::string &f, const std::string &) { return readTable(f, 10); }},
    {"1D", [](const std::string &f, const std::string &) { return readTable(f, 0); }},
    {"ND", [](const std::string &f, const std::string &) { return readTable(f, 1); }},
    {"T1D", [](const std::string &f, const std::string &) { return readTable(f, 8); }},
    {"T3D", [](const std::string &f, const std::string &) { return readTable(f, 11); }},
    {"XY", [](const std::string &f, const std::string &) { return readTable(f, 9); }},
    {"statespace",
     [](const std::string &f, const std::string &) {
       int n = 0, m = 0, p = 0;
       Arrays r;
       if (!(f.back() == 'p' ? kivreadssp_ : kivreadjac_)(f.c_str(), &n, &m, &p, &r.a, &r.b, &r.c, &r.d, &r.e))
         return std::string();
       return list(r.a, n * n) + list(r.b, n * m) + list(r.c, n * p) + list(r.d, m * p) + list(r.e, r.e ? n : 0);
     }},
    {"units",
     [](const std::string &, const std::string &dir) {
       FreeAllUnitStuff();
       InitUnitsManager(dir.c_str());
       double v[6] = {};
       const bool ok = GetConvFactFromU1toU2("bar", "Pa", &v[0], &v[1]) &&
                       GetConvFactFromU1toU2("degC", "degF", &v[2], &v[3]) && GetConvFactFromU1toU2("Hz", "rad/s", &v[4], &v[5]);
       FreeAllUnitStuff();
       return ok ? list(v, 6) : "";
     }},
    {"rsm",  // either format, at (2, -1)
     [](const std::string &f, const std::string &) {
       double ***coef = nullptr, x[2] = {2.0, -1.0}, y = 0.0;
       int n = 0, r = 0, type = 0, all = -1, id = -1;
       if (GetTableFormat(f.c_str()) == 14) {
         id = kivRsmInit_(f.c_str(), 2, 0);
         return id >= 0 && kivRsmEval_(&id, x, &y) == 1 ? list(&y, 1) : "";
       }
       if (rsmread_(f.c_str(), &n, &r, nullptr, nullptr, &coef, nullptr, nullptr, &type)) {
         id = rsminit_(&type, &n, &r, coef, nullptr, nullptr);
         rsmfreelist_(&type, &n, &r, coef);
       }
       return id >= 0 && rsmeval_(&id, &all, x, &y) ? list(&y, 1) : "";
     }},
    {"interpreter",  // tokens a and b, the caller's variables in the other order
     [](const std::string &f, const std::string &) {
       std::string text = f, b = "b", a = "a";
       char *names[] = {b.data(), a.data()};
       int dim = -1, two = 2, interp = 2, bound[4] = {1, 1, 1, 1}, ext[4] = {}, disc = 0;
       double slopes[4] = {}, x[2] = {5.0, 0.5}, y = 0.0;
       int id = strinit_(text.data(), &dim, names, &two, &interp, bound, ext, slopes, &disc);
       return id >= 0 && streval_(&id, x, &y) ? list(&y, 1) : "";
     }},
    {"lines",
     [](const std::string &f, const std::string &) {
       int n = 0, skip = 1;
       char **l = rtableml_(f.c_str(), &n, &skip);
       std::string s = std::to_string(n);
       for (int i = 0; l && i < n; ++i) s += std::string(" [") + l[i] + "]", std::free(l[i]);
       std::free(l);
       return s;
     }},
    {"interpret",  // as a 2D table, at (0.5, 5)
     [](const std::string &f, const std::string &) {
       std::string text = f, a = "a", b = "b";
       char *names[] = {a.data(), b.data()};
       const int id = InterpretExpression(text.data(), 2, names, 1, 1, 1, 1);
       const double v = id >= 0 ? ComputeExpression(id, 0.5, 5.0) : 0.0;
       return id >= 0 ? list(&v, 1) : "";
     }},
    {"shape",
     [](const std::string &f, const std::string &) {
       int kind = 1, id = xCD_create_object_from_datafile_(f.c_str(), &kind);
       const double area = id >= 0 ? area2D_(xCD_get_shape_(&id)) : 0.0;
       return id >= 0 ? list(&area, 1) : "";
     }},
    {"gear",  // teeth, centre and radii of a gear outline
     [](const std::string &f, const std::string &) {
       int kind = 1, id = xCD_create_object_from_datafile_(f.c_str(), &kind), teeth = 0;
       double v[4] = {};
       if (id < 0 || check_gear_id_(&id, &teeth, &v[0], &v[1], &v[2], &v[3]) != 0) return std::string();
       return std::to_string(teeth) + " " + list(v, 4);
     }},
    {"port",  // a gerotor's port contour: its opening at a quarter turn
     [](const std::string &f, const std::string &) {
       const int z = 7;
       const double a = 20, rc = 6, Ro = 18.5, e = 2, X = 0;
       int area = -1, perimeter = -1;
       if (gp_set_up_flow_area_contour_(&z, &a, &rc, &Ro, &e, &X, f.c_str(), &area, &perimeter) != 0)
         return std::string();
       double t = 1.5707963267948966, v[2] = {};
       spleval_(&area, &t, &v[0]);
       spleval_(&perimeter, &t, &v[1]);
       return list(v, 2);
     }},
    {"fluid",
     [](const std::string &f, const std::string &) {
       static int calls = 0;  // an index of its own each time: a run defines one once
       int i = 3 + calls++ % 4;
       double p_sat = 0, air = 0, t = 40, poly = 1.4, mu_air = 2e-5, hi = -9e4, lo = -9.5e4, mu_v = 2e-5, mol = 200,
              rho_air = 1.2, p = 1e7;
       if (!fptables_(&i, &p_sat, &air, &t, &poly, f.c_str(), &mu_air, &hi, &lo, &mu_v, &mol, &rho_air)) return std::string();
       sethdind_(&i);
       const double v[] = {rhoatp_(&p), bmatp_(&p), muatp_(&p)};
       return list(v, 3);
     }},
    {"exchange",
     [](const std::string &, const std::string &dir) {
       int i = 3;
       slavereadhydp((dir + "/circuit").c_str(), 0, nullptr);
       const HydSimpleRecord *r = getspind_(&i);
       return r ? list(&r->density, 1) + list(&r->bulk_modulus, 1) + list(&r->temperature, 1) : "";
     }},
    {"gp",
     [](const std::string &, const std::string &dir) {
       Records r;
       for (const char *name : {"legacy", "pump"}) KIVGP_IO_ReadGPs(name, dir.c_str(), "", r.list);
       std::string s;
       for (unsigned i = 0; i < r.size(); ++i) s += describe(r[i]) + "\n";
       return s;
     }},
};

enum class Feed {
  kFile, kMarkedFile, kPipe, kZeroInside, kDevZero, kCrLines,
  kCrButLastLf, kCrButLastTwo, kLoneCrFirst, kLoneCrMiddle,  // line ends in a mix
  kStdin  // standard input a pipe, /dev/stdin under the name
};

// The LF text with other line ends: CR for all but the last one (LF) or
// the last two (LF, CRLF), as a CR file that a tool appended to or an
// editor partly converted; or one CR alone, at the first or the middle one.
std::string mixedLineEnds(const std::string &text, Feed feed) {
  const auto n = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  std::string out;
  size_t k = 0;
  for (char c : text) {
    if (c != '\n') {
      out += c;
      continue;
    }
    const bool lone = (feed == Feed::kCrButLastLf && k + 1 < n) || (feed == Feed::kCrButLastTwo && k + 2 < n) ||
                      (feed == Feed::kLoneCrFirst && k == 0) || (feed == Feed::kLoneCrMiddle && k == n / 2);
    out += lone ? "\r" : feed == Feed::kCrButLastTwo && k + 1 == n ? "\r\n" : "\n";
    ++k;
  }
  return out;
}

class TextFiles : public SystemTest {
 public:
  // The file (a mark in front, written once through a named pipe, a zero
  // byte in its middle, /dev/zero under its name, or its lines ended by CR
  // alone, when asked) read in a folder of its own, after a format query
  // when asked: the values and the messages, the folder written "<dir>".  A
  // new run unless told otherwise; the folder removed after unless kept.
  std::pair<std::string, std::string> read(const std::string &reader, const std::string &name,
                                           const std::string &text, Feed feed = Feed::kFile, bool new_run = true,
                                           bool keep = false, bool query = false) {
    const std::string dir = tempPath(name + (feed == Feed::kFile ? "" : "_" + std::to_string(static_cast<int>(feed))));
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + name;
    std::unique_ptr<PipeFeed> pipe;
    std::unique_ptr<StdinFeed> in;
    std::string body = text;
    if (feed == Feed::kMarkedFile) body = kMark + text;
    if (feed == Feed::kZeroInside) body.insert(body.size() / 2, 1, '\0');
    if (feed == Feed::kCrLines) std::replace(body.begin(), body.end(), '\n', '\r');
    if (feed >= Feed::kCrButLastLf) body = mixedLineEnds(text, feed);
    if (feed == Feed::kPipe)
      pipe = std::make_unique<PipeFeed>(path, text);
    else if (feed == Feed::kDevZero || feed == Feed::kStdin)
      std::filesystem::create_symlink(feed == Feed::kStdin ? "/dev/stdin" : "/dev/zero", path);
    else
      std::ofstream(path, std::ios::binary) << body;
    if (feed == Feed::kStdin) {
      in = std::make_unique<StdinFeed>(text);
      EXPECT_TRUE(in->ok());
    }
    if (new_run) KivEndRun(0);
    std::string got = query ? std::to_string(GetTableFormat(path.c_str())) + ": " : "";
    exited_ = guarded([&] { return got += kReaders.at(reader)(path, dir), 0; }) == -2;
    if (pipe) {
      const PipeFeed::Outcome o = pipe->finish();
      EXPECT_TRUE(o.made && o.written) << name << ": the pipe was not read";
      EXPECT_EQ(o.waits, 0) << name << ": the reader waited for a second writer";
    }
    std::string said = takeErr() + takeOut();
    for (size_t p; (p = said.find(dir)) != std::string::npos;) said.replace(p, dir.size(), "<dir>");
    if (!keep) std::filesystem::remove_all(dir);
    return {got, said};
  }
  bool exited_ = false;  // the last read ended the run
};

std::string file(const std::string &path) {
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

struct Case {
  std::string reader, name, text, want = {};  // want: the values, when known
};

// A gear of 9 trapezoidal teeth about (1, 2), root radius 8, tip radius 10 (mm).
std::string gearOutline() {
  std::string s = "# Table format: XY\n";
  char b[64];
  for (int k = 0; k < 9; ++k)
    for (auto [r, at] : {std::pair{8.0, 0.0}, {10.0, 0.3}, {10.0, 0.6}, {8.0, 0.9}}) {
      const double t = 2 * 3.141592653589793 * (k + at) / 9;
      s += (std::snprintf(b, sizeof b, "%.12f %.12f\n", 1 + r * std::cos(t), 2 + r * std::sin(t)), b);
    }
  return s;
}

std::vector<Case> textCases() {
  const std::string data = dataDir() + "/", root = kivRoot() + "/";
  std::vector<Case> cases = {
      {"table", "z.txt", "# Table format: 0D\n# table_unit = bar\n1.5 ignored\n  2e0\n3 5 # 6\nend\n", "150000 200000 300000 "},
      {"table", "one.txt", "# Table format: 1D\n# table_unit = bar\n# axis1_unit = mm\n0 1 10 2\n20\n3 30 4\n"},
      {"table", "three.txt", "# Table format: 3D\n# axis2_unit = mm\n# table_unit = bar\n2 1 2\n0 1\n5\n0 10\n1 2 3 4\n"},
      {"table", "t1d.txt", file(data + "tables/viscosity_T1D.txt")},
      {"table", "t3d.txt", "# Table format: T3D\n# axis3_unit = bar\n# table_unit = mm\n100 2\n0 2\n1 11\n2 12\n1 1\n3 13\n200 1\n2 1\n4 14\n"},
      {"table", "outline.xy", file(data + "tables/outline_m.xy"), "0 10 10 0 0 0 0 10 10 0 "},
      {"shape", "outline.xy", file(data + "tables/outline_m.xy"), "100 "},
      {"statespace", "j.jac", "2 1 1\n1 2\n3 4\n5 6\n7 8\n9\n0\n1\n"},
      {"statespace", "m.ssp", "STATSP model\n2 number of states\n1 number of outputs\n1 number of inputs\n1\n2\n3\n4\n5\n6\n7\n8\n9\n0.5\n-0.5\n"},
      {"units", "KIV.units", file(root + "KIV.units")},
      {"rsm", "notes.txt", file(data + "tables/rsm_titled_notes.txt"), "5.5 "},
      {"rsm", "t.txt", "# Table format: RSM\n# 2 inputs\n# 1 outputs\n# output1\n# RSM\n1 0 3.0\n# the x2 term\n0 2 0.5\n", "6.5 "},
      {"rsm", "old.txt", file(data + "tables/rsm_old_notes.txt"), "21 "},
      {"interpreter", "i.txt", "# Table format: 2D\n# axis1_token = a\n# axis2_token = b\n2 2\n0 1\n0 10\n1 2 3 4\n", "2.5 "},
      {"fluid", "sound.data", file(data + "hydraulics/sound.data")},
      {"fluid", "oil.data", file(root + "libhydr/data/hyd_HM_VG46_Bs.data")},
      {"exchange", "circuit.hydp", "# general\n0\n# fuel\n0\n# simple\n1\n# simple 1\n3\n850\n1.7e9\n0.05\n-5e4\n1\n40\n1.4\n0\n"},
      {"gp", "legacy_.gp", file(data + "params/legacy_.gp")},
      {"gp", "pump_.kivgp", file(data + "params/pump_.kivgp")},
      {"gear", "gear.xy", gearOutline()},
      {"port", "port.xy",
       "# Table format: XY\n# axis1_unit = m\n# axis2_unit = m\n-0.03 0\n0.03 0\n0.03 0.03\n-0.03 0.03\n"},
  };
  const std::map<std::string, std::string> alone = {{"z.txt", "0D"},   {"one.txt", "1D"}, {"three.txt", "ND"},
                                                    {"t1d.txt", "T1D"}, {"t3d.txt", "T3D"}, {"outline.xy", "XY"}};
  for (size_t i = 0, n = cases.size(); i < n; ++i)
    if (cases[i].reader == "table")
      cases.push_back({alone.at(cases[i].name), cases[i].name, cases[i].text, cases[i].want});
  return cases;
}

TEST_F(TextFiles, AByteOrderMarkInFrontChangesNothing) {
  for (const Case &c : textCases()) {
    const auto plain = read(c.reader, c.name, c.text), marked = read(c.reader, c.name, c.text, Feed::kMarkedFile);
    EXPECT_NE(plain.first, "") << c.name << ": " << plain.second;
    EXPECT_TRUE(c.want.empty() || plain.first == c.want) << c.name << ": " << plain.first;
    EXPECT_EQ(marked, plain) << c.name;
  }
}

// A named pipe hands its text once and cannot seek: a reader that read a
// line twice by seeking back lost it, one that opened the name twice waited
// for a second writer.
TEST_F(TextFiles, ANamedPipeReadsAsTheFile) {
  for (const Case &c : textCases()) {
    const auto plain = read(c.reader, c.name, c.text), piped = read(c.reader, c.name, c.text, Feed::kPipe);
    EXPECT_NE(plain.first, "") << c.name << ": " << plain.second;
    EXPECT_EQ(piped, plain) << c.name;
  }
}

// Read twice in a run, from the same pipe written again and from a pipe
// made anew under the name: each reading gives the writer's text, not an
// earlier one (readers that query the format first hand it on), with the
// reader cache on: a pipe's text is not cached.
TEST_F(TextFiles, APipeReadAgainInARunReadsItsNewWriter) {
  int on = 1, was = rtableStoreToCache_(nullptr);
  rtableStoreToCache_(&on);
  for (const Case &c : textCases()) {
    const auto plain = read(c.reader, c.name, c.text);
    for (bool same_pipe : {true, false}) {
      EXPECT_EQ(read(c.reader, c.name, c.text, Feed::kPipe, true, same_pipe), plain) << c.name;
      // The exchange file is taken once in a run.
      EXPECT_EQ(read(c.reader, c.name, c.text, Feed::kPipe, c.reader == "exchange"), plain)
          << c.name << (same_pipe ? " again" : " anew");
    }
  }
  rtableStoreToCache_(&was);
}

// A text holds no zero byte: one in the middle of the file, or /dev/zero
// under its name, refuses it by name at once and the run goes on.  A text
// whose lines end in CR alone reads as its LF twin.
TEST_F(TextFiles, ZeroBytesRefuseTheFileAndCrLinesRead) {
  for (const Case &c : textCases()) {
    ASSERT_EQ(c.text.find('\r'), std::string::npos) << c.name;
    const auto plain = read(c.reader, c.name, c.text);
    for (Feed f : {Feed::kZeroInside, Feed::kDevZero}) {
      const auto start = std::chrono::steady_clock::now();
      const auto [got, said] = read(c.reader, c.name, c.text, f);
      // Reading /dev/zero through would last until memory runs out.
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << c.name;
      EXPECT_EQ(got, "") << c.name;
      EXPECT_NE(said.find("'<dir>/" + c.name + "' is not a text file"), std::string::npos) << c.name << ": " << said;
      // The exchange file ends the run when it cannot be read, as ever.
      EXPECT_EQ(exited_, c.reader == "exchange") << c.name;
    }
    EXPECT_EQ(read(c.reader, c.name, c.text, Feed::kCrLines), plain) << c.name;
  }
}

// Lines end in LF, CRLF or CR alone, in any mix: each mix reads as the LF
// text, values and messages.
TEST_F(TextFiles, AnyMixOfLineEndsReadsAsLf) {
  for (const Case &c : textCases()) {
    const auto plain = read(c.reader, c.name, c.text);
    for (Feed f : {Feed::kCrButLastLf, Feed::kCrButLastTwo, Feed::kLoneCrFirst, Feed::kLoneCrMiddle})
      EXPECT_EQ(read(c.reader, c.name, c.text, f), plain) << c.name << " mix " << static_cast<int>(f);
  }
}

// Every table reader on every table text, from a named pipe and from
// /dev/stdin, after a format query or not: a reader that opened the name
// twice waited for ever on the pipe and read nothing the second time from
// /dev/stdin.
TEST_F(TextFiles, EveryTableReaderReadsAPipeOrStandardInputAsTheFile) {
  const char *readers[] = {"table", "0D", "1D",          "ND",    "T1D",       "T3D",   "XY",
                           "lines", "statespace", "rsm", "interpreter", "interpret", "shape", "port"};
  for (const Case &c : textCases())
    if (std::string("table statespace rsm interpreter").find(c.reader) != std::string::npos)
      for (const char *r : readers)
        for (bool query : {false, true}) {
          // Elsewhere the expression reader echoes a path it cuts short.
          if (r == std::string("interpret") && c.name != "i.txt") continue;
          const auto plain = read(r, c.name, c.text, Feed::kFile, true, false, query);
          for (Feed f : {Feed::kPipe, Feed::kStdin})
            EXPECT_EQ(read(r, c.name, c.text, f, true, false, query), plain)
                << r << " on " << c.name << (f == Feed::kPipe ? " piped" : " from stdin") << (query ? ", queried" : "");
        }
}

// With the reader cache on, a text whose lines end in CR is kept as its LF
// twin: read, emptied and read again, it gives what the LF twin gives.
TEST_F(TextFiles, ACrTextIsCachedAsItsLfTwin) {
  int on = 1, was = rtableStoreToCache_(nullptr);
  rtableStoreToCache_(&on);
  for (const Case &c : textCases()) {
    std::string cr = c.text;
    std::replace(cr.begin(), cr.end(), '\n', '\r');
    std::vector<std::string> twins;
    for (const std::string &text : {c.text, cr}) {
      const auto first = read(c.reader, c.name, text, Feed::kFile, true, true);
      const auto again = read(c.reader, c.name, "", Feed::kFile, false);
      twins.push_back(first.first + " | " + again.first + " | " + first.second + again.second);
      if (std::string("0D 1D ND T1D T3D XY").find(c.reader) != std::string::npos && text == c.text) {
        EXPECT_TRUE(first.first != "" && again.first == first.first) << c.name << " was not cached";
      }
    }
    EXPECT_EQ(twins[1], twins[0]) << c.name;
  }
  rtableStoreToCache_(&was);
}

// A zero byte written after the opening checked the file refuses it as one
// there from the start: the same failure, the same messages.
TEST_F(TextFiles, AZeroByteWrittenAfterTheCheckRefusesTheFile) {
  struct Late {
    std::string name;
    bool written = false;
  };
  for (const Case &c : textCases()) {
    const auto before = read(c.reader, c.name, c.text + '\0' + "y\n");
    Late late{"/" + c.name};
    sys_->text_checked_user = &late;
    sys_->text_checked = [](const char *path, void *user) {
      auto *l = static_cast<Late *>(user);
      const std::string p = path;
      if (l->written || p.size() < l->name.size() || p.compare(p.size() - l->name.size(), l->name.size(), l->name)) return;
      l->written = true;
      std::ofstream(path, std::ios::binary | std::ios::app) << '\0' << "y\n";
    };
    EXPECT_EQ(read(c.reader, c.name, c.text), before) << c.name;
    EXPECT_TRUE(late.written) << c.name;
    sys_->text_checked = nullptr;
  }
}

TEST_F(TextFiles, AMarkElsewhereIsText) {
  // The line the refusal names: a second mark is text, and so is one inside
  // the body (where the data end, or where a number is due).
  const std::pair<std::string, std::string> cases[] = {
      {kMark + kMark + "# Table format: 1D\n0 1\n", "Line 2 "},
      {"# Table format: 1D\n0 1\n" + kMark + "2 3\n4 5\n", "Line 4 "},
      {"# Table format: 2D\n2 2\n0 1\n" + kMark + "0 1\n1 2 3 4\n", "Line 4 "}};
  for (const auto &[text, line] : cases) {
    const auto [got, said] = read("table", "mid.txt", text);
    EXPECT_EQ(got, "") << text;
    EXPECT_NE(said.find(line + "of file '<dir>/mid.txt'"), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace kiv::test
