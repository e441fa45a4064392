/* A host with functions of its own that share names with the library's
 * (create_path, check_shape, clean_shape, kivfprintf): the library's calls
 * of those names inside an intersection and a refusal must stay its own.
 * Built twice: linked to the package the usual way, and, with
 * KIV_PLUGIN, built with -rdynamic and loading the library with dlopen
 * (argv[1], its path).  Exits 0 when no call from inside reached the host. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "geometry/kiv_geometry.h"
#include "geometry/kiv_gerotor.h"
#include "runtime/kiv_runtime.h"

#ifdef KIV_PLUGIN
static void *library;
#define LIB(fn) ((__typeof__(&fn))librarySymbol(#fn))
#else
#define library RTLD_NEXT
#define LIB(fn) (&fn)
#endif

static void *librarySymbol(const char *name) {
  void *f = dlsym(library, name);
  if (!f) {
    fprintf(stderr, "the library has no %s: %s\n", name, dlerror());
    exit(2);
  }
  return f;
}

/* The host's own versions: counted, then served by the library's. */
enum { kCreatePath, kCheckShape, kCleanShape, kPrint, kNames };
static const char *const kName[kNames] = {"create_path", "check_shape", "clean_shape", "kivfprintf"};
static int calls[kNames];

path *create_path(void) {
  ++calls[kCreatePath];
  return ((path * (*)(void)) librarySymbol("create_path"))();
}

int check_shape(shape *s) {
  ++calls[kCheckShape];
  return ((int (*)(shape *))librarySymbol("check_shape"))(s);
}

int clean_shape(shape *s, double tol) {
  ++calls[kCleanShape];
  return ((int (*)(shape *, double))librarySymbol("clean_shape"))(s, tol);
}

int kivfprintf(FILE *stream, const char *format, ...) {
  ++calls[kPrint];
  va_list ap;
  va_start(ap, format);
  const int n = vfprintf(stream, format, ap);
  va_end(ap);
  return n;
}

/* Counter-clockwise square of side 2 with its lower left corner at (x, x). */
static shape *square(double x) {
  shape *s = LIB(create_shape)();
  path *p = create_path();
  LIB(add_last_xy_)(p, x, x);
  LIB(add_last_xy_)(p, x + 2, x);
  LIB(add_last_xy_)(p, x + 2, x + 2);
  LIB(add_last_xy_)(p, x, x + 2);
  LIB(add_path)(p, s);
  return s;
}

static int reached(const char *what) {
  int bad = 0;
  for (int k = 0; k < kNames; ++k) {
    if (calls[k] != 0) {
      fprintf(stderr, "%s called the host's %s %d times\n", what, kName[k], calls[k]);
      bad = 1;
    }
    calls[k] = 0;
  }
  return bad;
}

int main(int argc, char **argv) {
#ifdef KIV_PLUGIN
  if (argc < 2) {
    fprintf(stderr, "usage: %s <libkiv.so>\n", argv[0]);
    return 2;
  }
  library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 2;
  }
#else
  (void)argc;
  (void)argv;
#endif
  shape *a = square(0), *b = square(1);
  /* The host's own call is the host's. */
  if (calls[kCreatePath] != 2) {
    fprintf(stderr, "the host's own create_path was called %d times, not 2\n", calls[kCreatePath]);
    return 1;
  }
  calls[kCreatePath] = 0;

  int bad = 0;
  shape *both = LIB(intersection_shape_)(a, b);
  const double area = both ? LIB(area2D_)(both) : NAN;
  if (!(fabs(area - 1.0) < 1e-12)) {
    fprintf(stderr, "the squares overlap by %g, not 1\n", area);
    bad = 1;
  }
  bad |= reached("an intersection");
  LIB(delete_shape_)(both);
  LIB(delete_shape_)(a);
  LIB(delete_shape_)(b);

  /* A refused call prints through the library's own kivfprintf. */
  const int z = 1;
  const double r = 1, theta = 0;
  double x = -7, y = -7;
  LIB(gp_get_xc_yc_)(&z, &r, &r, &r, &theta, &x, &y);
  if (x != -7 || y != -7) {
    fprintf(stderr, "a gerotor of one lobe was answered\n");
    bad = 1;
  }
  bad |= reached("a refusal");
  if (!bad) printf("no call from inside the library reached the host's functions\n");
  return bad;
}
