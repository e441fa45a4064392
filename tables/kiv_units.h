/* The units manager: converts values between units known from the units
 * file "KIV.units" (read from the current directory, else from "$KIV"), and
 * between unit expressions built from them with "*", "/" and "**", SI
 * prefixes and products of known units.  A value v in a unit has the SI
 * value v*factor + offset.  The manager is process-wide, created on first
 * use and freed at the end of the run. */
#ifndef KIV_UNITS_H
#define KIV_UNITS_H

#include "runtime/kiv_runtime.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct UnitsManager UnitsManager;
typedef struct KIVUnitDomain KIVUnitDomain;
typedef struct KIVUnit KIVUnit;

/* Number of base dimensions a domain carries exponents for. */
#define KIV_UNIT_DIMENSIONS 7

/* Creates the manager from "KIV.units" in the current directory, else in
 * directory (environment references expanded; NULL or empty: "$KIV"), when
 * there is none yet.  A UTF-8 byte-order mark at the start of the file is
 * passed over.  A unit whose factor is 0 (one written "1e-400" too) is left
 * out with a message naming it, one whose factor does not evaluate to a
 * finite number after the evaluation's message (and, for a number beyond
 * the range of a double such as "*1e400", one naming the unit).  Returns the
 * manager, owned by the library (freed by FreeAllUnitStuff or at the end of
 * the run). */
KIV_API UnitsManager *InitUnitsManager(const char *directory);
/* Frees the manager and everything it holds. */
KIV_API void FreeAllUnitStuff(void);

/* 1 and the map x (in u1) -> x*factor + offset (in u2), or 0 after a
 * message. */
KIV_API int GetConvFactFromU1toU2(const char *u1, const char *u2, double *factor, double *offset);
/* SI factor and offset of a unit expression and its exponents
 * (KIV_UNIT_DIMENSIONS of them): 1, or 0 after a message. */
KIV_API int GetConvFactAndBase(const char *unit, double *factor, double *offset, int *exponents);
/* GetConvFactAndBase without the exponents. */
KIV_API int GetConvFact(const char *unit, double *factor, double *offset);
/* Factor of a single word (a unit, a prefixed unit or a product of units)
 * and the unit record it resolved to: 1, or 0. */
KIV_API int GetConvFactForToken(const char *token, double *factor, const KIVUnit **unit);
/* 1 when the names are equal or one domain lists both. */
KIV_API int AreUnitsHomogeneous(const char *u1, const char *u2);
/* Factor and offset of a conversion text such as "*1.8+32", "/60" or
 * "-273.15": -1 error, 1 when factor != 1 or offset != 0, else 0. */
KIV_API int ExtractConvFact(const char *text, double *factor, double *offset);

/* The first unit of that name, domains and units in file order, or NULL. */
KIV_API const KIVUnit *GetUnit(const UnitsManager *manager, const char *name);
/* The conversion text of a unit as written in the file, or "*1". */
KIV_API const char *GetConversionString(const KIVUnit *unit);
/* The unit's name and its domain's name, owned by the manager (valid until
 * FreeAllUnitStuff); NULL for NULL. */
KIV_API const char *GetUnitName(const KIVUnit *unit);
KIV_API const char *GetUnitDomainName(const KIVUnit *unit);
/* SI factor and offset of the unit (1 and 0 for NULL). */
KIV_API void GetUnitFactorAndOffset(const KIVUnit *unit, double *factor, double *offset);
/* The unit in which values of this unit are preferably shown, or NULL. */
KIV_API const KIVUnit *GetPreferredUnit(const KIVUnit *unit);

#ifdef __cplusplus
}
#endif

#endif
