// Bounds on the work a metafile may ask for. Drawing time grows with the records, the points of
// one figure (filling a polygon costs more than linear time in its edges) and the saved states;
// a file beyond any bound is refused before it is drawn, with core::StatusCode::TooLarge and
// kDrawingTooComplex. Diagrams of many thousands of records stay well inside.
#pragma once

#include "codec/codec.h"
#include "codec/metafile/byte_reader.h"

#include <cstdint>

namespace velanox::codec::metafile {

inline constexpr const char* kDrawingTooComplex = "The drawing is too complex.";

struct DrawingWorkLimits {
    uint64_t records = 250000;        ///< records of any kind
    uint64_t pointsPerFigure = 10000; ///< points of one polygon, polyline or poly-polygon record
    uint64_t points = 200000;         ///< points of all records together
    uint64_t savedStates = 20000;     ///< save-state records
};

/// The Windows Metafile library's time grows with the square of the records (5,000 records take
/// seconds): its bounds are lower.
inline constexpr DrawingWorkLimits kWmfWorkLimits{5000, 10000, 200000, 1000};

/// Checks the records of an Enhanced Metafile (a chain checked to end inside the file).
Status checkEmfWork(const ByteReader& file, const DrawingWorkLimits& limits = {});

/// Checks the records of a Windows Metafile (after its header; a placeable header is skipped).
Status checkWmfWork(const ByteReader& file, const DrawingWorkLimits& limits = kWmfWorkLimits);

} // namespace velanox::codec::metafile
