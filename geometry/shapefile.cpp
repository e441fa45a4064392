// Shapes from coordinate arrays and XY table files, shapes printed as table
// files or extracted as arrays with their arcs sampled, and the check that
// measures a gear outline.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "geometry/boolean.hpp"
#include "geometry/crossing.hpp"
#include "geometry/pumpgeom.hpp"
#include "geometry/shapeid.hpp"
#include "runtime/atomicfile.hpp"
#include "runtime/numbers.hpp"
#include "tables/kiv_tablefiles.h"

namespace kiv::geom {
namespace {

// Half a degree: the step of every sampled arc.
constexpr double kArcStep = 0.00872664625997165;

// Paths of T1D files are numbered on from one printed shape to the next.
int z = 0;

// Calls f(x, y) for the samples of the arc of centre c, from its start
// vertex on by repeated steps, short of its end vertex.
template <class F>
void sampleArc(const point *c, F &&f) {
  const ArcEnds e = arcEnds(c);
  const auto at = [&](double a) { f(c->x + c->radius * std::cos(a), c->y + c->radius * std::sin(a)); };
  if (e.dir > 0)
    for (double a = e.from; a < e.to; a += kArcStep) at(a);
  else if (e.dir < 0)
    for (double a = e.from; a > e.to; a -= kArcStep) at(a);
}

// The vertex the printed contour starts and closes at: the first node, or
// the start of the arc when the first node is a centre, so that the centre
// itself is never drawn.  nullptr when the ring has no such vertex.
const point *printStart(const path *p) {
  const point *s = p ? p->first : nullptr;
  if (s && isCentre(s)) s = s->previous;
  return s && !isCentre(s) ? s : nullptr;
}

// Calls f(x, y) for every printed point of p but the closing one.
template <class F>
void forEachPrinted(const path *p, F &&f) {
  const point *start = printStart(p);
  if (!start) return;
  const point *n = start;
  do {
    if (isCentre(n))
      sampleArc(n, f);
    else
      f(n->x, n->y);
    n = n->next;
  } while (n != start);
}

// A table file being printed for the public function fn.  A plain file is
// written beside itself and renamed into place, so a failed print leaves
// the old one; a pipe, a device or a link (/dev/stdout) is written in place.
class Printout {
 public:
  Printout(const char *file, const char *fn) : out_(file ? file : ""), file_(file), fn_(fn) {}
  // The stream, or NULL after saying why the file cannot be written.
  FILE *open() {
    FILE *fp = out_.open();
    if (!fp) sayFailed();
    return fp;
  }
  // 0, or -1 after saying why the file is not whole.
  int close() {
    if (out_.close()) return 0;
    sayFailed();
    return -1;
  }

 private:
  void sayFailed() const {
    kivfprintf(stderr, "Error in %s: cannot write %s: %s\n", fn_, file_ ? file_ : "(null)",
               std::strerror(out_.error()));
  }

  kiv::OutputFile out_;
  const char *file_, *fn_;
};

struct Table {
  std::unique_ptr<double, decltype(&std::free)> data{nullptr, &std::free};
  int rows = -1, cols = -1;
  bool read = false;
};

Table readTable(const char *file, const char *separators, const char *const *units) {
  Table t;
  double *data = nullptr;
  t.read = rtablexy_(file, &t.rows, &t.cols, &data, separators, units) > 0;
  t.data.reset(data);
  return t;
}

// The contour of the first two columns (stored column after column).
int fromColumns(const Table &t, bool hole) {
  return shapeFromArrays(t.data.get(), t.data.get() + t.rows, t.rows, hole);
}

}  // namespace

constexpr double kMaxCoordinate = 1e100;

int shapeFromArrays(const double *x, const double *y, int n, bool hole) {
  if (!x || !y || n < 1) return -1;
  std::vector<std::pair<double, double>> points;
  for (int i = 0; i < n; ++i) {
    if (i > 0 && i == n - 1 && x[i] == x[0] && y[i] == y[0]) break;
    // Beyond 1e100 the products that areas and centroids sum overflow: such
    // a contour could be stored but never measured.
    if (!(std::fabs(x[i]) <= kMaxCoordinate) || !(std::fabs(y[i]) <= kMaxCoordinate)) return -1;
    points.emplace_back(x[i], y[i]);
  }
  auto distinct = points;
  std::sort(distinct.begin(), distinct.end());
  if (std::unique(distinct.begin(), distinct.end()) - distinct.begin() < 3) return -1;

  ShapePtr s(create_shape());
  path *p = create_path();
  add_path(p, s.get());
  for (const auto &[px, py] : points) add_last_xy_(p, px, py);
  if (pathsCross(p, p)) return -2;
  // An area at the rounding level of the terms it is summed from is no area
  // (a contour that runs back along itself, or one lost in huge
  // coordinates).
  double gross = 0.0;
  forEachNode(p, [&](const point *v) {
    gross += std::fabs((v->x - p->first->x) * (v->next->y - v->previous->y)) / 2.0;
    return false;
  });
  if (!(std::fabs(area2D_path_(p)) > 1e-12 * gross)) return -1;
  // By the signed area: the turn at the lowest vertex misleads on a
  // contour that passes that vertex twice.
  const int o = orient_path2_(p);
  if (o == (hole ? KIV_ORIENT_CCW : KIV_ORIENT_CW)) reverse_path_(p);
  return registerShape(std::move(s));
}

int shapeFromDataFile(const char *file, int kind) {
  const int format = GetTableFormat(file);
  if (format == KIV_TABLE_NOT_FOUND) return -1;
  if (format != KIV_TABLE_XY && format != KIV_TABLE_UNKNOWN) {
    kivfprintf(stderr, "\nError in xCD_create_object_from_datafile_: wrong file format for %s.\n", file);
    return -1;
  }
  const char *const millimetres[] = {"mm", "mm", nullptr};
  const Table t = readTable(file, nullptr, millimetres);
  if (!t.read) {
    kivfprintf(stderr, "\nError in xCD_create_object_from_datafile_: unable to read %s.\n", file);
    return -1;
  }
  if (t.cols < 2) {
    kivfprintf(stderr, "\nError in xCD_create_object_from_datafile_: the table is not of the correct dimension for %s.\n",
               file);
    return -1;
  }
  return fromColumns(t, kind != 1);
}

int shapeFromTable(const char *file, const char *separators, const char *const *units, bool hole,
                   bool exactColumns) {
  const Table t = readTable(file, separators, units);
  if (!t.read || t.rows < 0 || !(t.cols == 2 || (t.cols == 3 && !exactColumns))) {
    kivfprintf(stderr, "unable to read data from %s !\n", file ? file : "(null)");
    return -1;
  }
  return fromColumns(t, hole);
}

void printRows(FILE *fp, const path *p) {
  if (!fp) return;
  const point *start = printStart(p);
  if (!start) {
    std::fputs("no path to print\n", fp);
    return;
  }
  // Written without the locale's decimal separator, which would make the
  // file unreadable to the table readers.
  const auto row = [fp](double x, double y) {
    char a[kRealTextSize], b[kRealTextSize];
    formatReal(a, sizeof a, x, std::chars_format::fixed, 14, 25);
    formatReal(b, sizeof b, y, std::chars_format::fixed, 14, 25);
    std::fprintf(fp, "   %s\t%s\n", a, b);
  };
  forEachPrinted(p, row);
  row(start->x, start->y);
}

int printedSize(const path *p) {
  int n = 0;
  forEachPrinted(p, [&n](double, double) { ++n; });
  return n;
}

void printShape(const char *file, const shape *s, const char *fn) {
  if (!s) {
    kivfprintf(stderr, "Error in xCD_fprint_shape requested shape doesn't exist\n");
    return;
  }
  Printout out(file, fn);
  FILE *fp = out.open();
  if (!fp) return;
  const int n = s->paths ? s->npaths : 0;
  kivfprintf(stderr, "Printing %d path(s) in %s\n", n, file);
  if (n == 1) {
    std::fputs("# Table format: XY\n", fp);
    printRows(fp, s->paths[0]);
  } else {
    std::fputs("# Table format: T1D\n", fp);
    for (int i = 0; i < n; ++i, ++z) {
      std::fprintf(fp, "%d  %d\n", z, printedSize(s->paths[i]) + 1);
      printRows(fp, s->paths[i]);
    }
  }
  out.close();
}

int printPathAlone(const char *file, const path *p) {
  Printout out(file, "fprint_path_alone");
  FILE *fp = out.open();
  if (!fp) return -1;
  kivfprintf(stderr, "Printing 1 path(s) in %s\n", file);
  std::fputs("# Table format: XY\n", fp);
  printRows(fp, p);
  return out.close();
}

void extractShape(int id, double **x, double **y, int **sizes, int *npaths) {
  const shape *s = findOrSay(id, "Cannot retrieve shape %d.\n");
  if (!s) return;
  constexpr const char *kLabel = "Error in extract_shape during memory allocation.\n";
  const int n = s->paths ? s->npaths : 0;
  *npaths = n;
  int *counts = static_cast<int *>(std::malloc(sizeof(int) * static_cast<size_t>(std::max(n, 1))));
  if (!counts) MemoryError(kLabel);
  size_t total = 0;
  for (int i = 0; i < n; ++i) total += static_cast<size_t>(counts[i] = printedSize(s->paths[i]));
  const size_t bytes = sizeof(double) * std::max<size_t>(total, 1);
  double *xs = static_cast<double *>(std::malloc(bytes)), *ys = static_cast<double *>(std::malloc(bytes));
  if (!xs || !ys) {
    std::free(xs);
    std::free(ys);
    std::free(counts);
    *npaths = -2;
    MemoryError(kLabel);
  }
  size_t k = 0;
  for (int i = 0; i < n; ++i)
    forEachPrinted(s->paths[i], [&](double px, double py) {
      xs[k] = px;
      ys[k++] = py;
    });
  *sizes = counts;
  *x = xs;
  *y = ys;
}

GearOutline checkGear(const shape *s) {
  GearOutline g;
  const double A = area2D_(s);
  if (!hasPaths(s) || !s->paths[0] || !s->paths[0]->first || A == 0.0 || !std::isfinite(A)) return g;
  g.measured = true;
  double sx = 0.0, sy = 0.0;
  forEachNode(s->paths[0], [&](const point *n) {
    const point *m = n->next;
    const double c = n->x * m->y - m->x * n->y;
    sx += (n->x + m->x) * c;
    sy += (n->y + m->y) * c;
    return false;
  });
  g.xc = sx / (6.0 * A);
  g.yc = sy / (6.0 * A);
  ShapePtr centred(copyOf(s));
  translate2D_(centred.get(), -g.xc, -g.yc);
  find_bounds_rtheta_(centred.get(), &g.rmin, &g.rmax, nullptr, nullptr);
  // Cut by the disc halfway between root and tip, the outline seen as a
  // hole leaves one piece per tooth gap, as many as there are teeth.
  ShapePtr disc = vpStator((g.rmin + g.rmax) / 2.0, g.xc, g.yc);
  const ShapePtr reversed = s->paths[0]->orientation != KIV_ORIENT_CW ? reversedCopy(s) : nullptr;
  int status = KIV_BOOL_OK;
  ShapePtr pieces(remove_shape_status_(reversed ? reversed.get() : s, disc.get(), &status));
  // A failed cut counts nothing rather than the pieces it happened to keep.
  g.teeth = status == KIV_BOOL_OK ? pieces->npaths : 0;
  return g;
}

int handOver(const GearOutline &g, int *teeth, double *xc, double *yc, double *rmin, double *rmax) {
  *teeth = g.teeth;
  *xc = g.xc;
  *yc = g.yc;
  *rmin = g.rmin;
  *rmax = g.rmax;
  return g.measured ? 0 : -1;
}

int checkGearId(int id, int *teeth, double *xc, double *yc, double *rmin, double *rmax) {
  const shape *s = findOrSay(id, "Cannot retrieve shape %d\n");
  return s ? handOver(checkGear(s), teeth, xc, yc, rmin, rmax) : -1;
}

}  // namespace kiv::geom

using namespace kiv::geom;

extern "C" {

int xCD_create_shape_from_array_(const double *x, const double *y, int n) { return shapeFromArrays(x, y, n, false); }

int xCD_create_hole_from_array_(const double *x, const double *y, int n) { return shapeFromArrays(x, y, n, true); }

int xCD_create_object_from_datafile_(const char *file, const int *kind) { return shapeFromDataFile(file, *kind); }

int create_shape_(const char *file, const char *separators, const char *const *units) {
  return shapeFromTable(file, separators, units, false, false);
}

int create_hole_(const char *file, const char *separators, const char *const *units) {
  return shapeFromTable(file, separators, units, true, false);
}

int create_userport_id_(const char *file, const char *separators, const char *const *units) {
  return shapeFromTable(file, separators, units, false, true);
}

void xCD_fprint_shape(const char *file, const shape *s) { printShape(file, s, "xCD_fprint_shape"); }

int fprint_path_alone(const char *file, const path *p) { return printPathAlone(file, p); }

void fprint_path(FILE *fp, const path *p) { printRows(fp, p); }

int size_path_print_(const path *p) { return printedSize(p); }

void extract_shape_(const int *id, double **x, double **y, int **sizes, int *npaths) {
  extractShape(*id, x, y, sizes, npaths);
}

void print_point_details(const point *) {}

void check_gear_(const shape *s, int *teeth, double *xc, double *yc, double *rmin, double *rmax) {
  handOver(checkGear(s), teeth, xc, yc, rmin, rmax);
}

int check_gear_id_(const int *id, int *teeth, double *xc, double *yc, double *rmin, double *rmax) {
  return checkGearId(*id, teeth, xc, yc, rmin, rmax);
}

}  // extern "C"
