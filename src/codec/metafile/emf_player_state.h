// The Enhanced Metafile player's records, objects and device-context state, and the Player
// class whose record handlers are defined by family: state, mapping, objects and the record
// switch (emf_player.cpp), paths and shapes (emf_shapes.cpp), fonts and text (emf_text.cpp) and
// bitmaps and pattern brushes (emf_bitmaps.cpp). Internal to codec/metafile.
#pragma once

#include "codec/metafile/emf_player.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velanox::codec::metafile::emf {

// ---- record types -------------------------------------------------------------------------
enum Emr : uint32_t {
    kHeader = 1,
    kPolyBezier = 2,
    kPolygon = 3,
    kPolyline = 4,
    kPolyBezierTo = 5,
    kPolylineTo = 6,
    kPolyPolyline = 7,
    kPolyPolygon = 8,
    kSetWindowExtEx = 9,
    kSetWindowOrgEx = 10,
    kSetViewportExtEx = 11,
    kSetViewportOrgEx = 12,
    kEof = 14,
    kSetPixelV = 15,
    kSetMapMode = 17,
    kSetBkMode = 18,
    kSetPolyFillMode = 19,
    kSetTextAlign = 22,
    kSetTextColor = 24,
    kSetBkColor = 25,
    kMoveToEx = 27,
    kExcludeClipRect = 29,
    kIntersectClipRect = 30,
    kScaleViewportExtEx = 31,
    kScaleWindowExtEx = 32,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kSelectObject = 37,
    kCreatePen = 38,
    kCreateBrushIndirect = 39,
    kDeleteObject = 40,
    kAngleArc = 41,
    kEllipse = 42,
    kRectangle = 43,
    kRoundRect = 44,
    kArc = 45,
    kChord = 46,
    kPie = 47,
    kCreatePalette = 49,
    kLineTo = 54,
    kArcTo = 55,
    kPolyDraw = 56,
    kSetArcDirection = 57,
    kSetMiterLimit = 58,
    kBeginPath = 59,
    kEndPath = 60,
    kCloseFigure = 61,
    kFillPath = 62,
    kStrokeAndFillPath = 63,
    kStrokePath = 64,
    kSelectClipPath = 67,
    kAbortPath = 68,
    kExtSelectClipRgn = 75,
    kBitBlt = 76,
    kStretchBlt = 77,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
    kExtCreateFontIndirectW = 82,
    kExtTextOutA = 83,
    kExtTextOutW = 84,
    kPolyBezier16 = 85,
    kPolygon16 = 86,
    kPolyline16 = 87,
    kPolyBezierTo16 = 88,
    kPolylineTo16 = 89,
    kPolyPolyline16 = 90,
    kPolyPolygon16 = 91,
    kPolyDraw16 = 92,
    kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94,
    kExtCreatePen = 95,
    kAlphaBlend = 114,
};

enum MapMode {
    kMmText = 1,
    kMmLoMetric,
    kMmHiMetric,
    kMmLoEnglish,
    kMmHiEnglish,
    kMmTwips,
    kMmIsotropic,
    kMmAnisotropic
};
enum RegionMode { kRgnAnd = 1, kRgnOr, kRgnXor, kRgnDiff, kRgnCopy };

constexpr uint32_t kSrcCopy = 0x00CC0020, kSrcAnd = 0x008800C6, kSrcPaint = 0x00EE0086,
                   kSrcInvert = 0x00660046, kPatCopy = 0x00F00021, kBlackness = 0x00000042,
                   kWhiteness = 0x00FF0062;
constexpr int kMaxSavedStates = 4096;

// ---- objects ------------------------------------------------------------------------------
struct Pen {
    uint32_t style = 0; ///< PS_* with end cap, join and type bits
    double width = 0;   ///< logical units; 0 draws one device pixel
    uint32_t color = 0;
    std::vector<double> userDashes; ///< PS_USERSTYLE, logical units
    bool isNull() const { return (style & 0xF) == 5; }
    bool cosmetic() const { return !(style & 0x10000) || width <= 0; }
};

struct Brush {
    uint32_t style = 0; ///< 0 solid, 1 null, 2 hatched, 3 and 5 pattern
    uint32_t color = 0xFFFFFF;
    uint32_t hatch = 0;
    std::shared_ptr<cairo_surface_t> pattern;
    bool isNull() const { return style == 1; }
};

struct Font {
    double height = -12; ///< logical; negative = character height, positive = cell height
    int escapement = 0;  ///< tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    std::string face = "Arial";
};

using GdiObject = std::variant<std::monostate, Pen, Brush, Font>;

struct DcState {
    int mapMode = kMmText;
    double winOrgX = 0, winOrgY = 0, winExtX = 1, winExtY = 1;
    double vpOrgX = 0, vpOrgY = 0, vpExtX = 1, vpExtY = 1;
    cairo_matrix_t world{1, 0, 0, 1, 0, 0};
    Pen pen;
    Brush brush;
    Font font;
    uint32_t textColor = 0, bkColor = 0xFFFFFF;
    int bkMode = 2;       ///< 1 transparent, 2 opaque
    int polyFillMode = 1; ///< 1 alternate, 2 winding
    uint32_t textAlign = 0;
    bool clockwise = false;
    double miterLimit = 10;
    double curX = 0, curY = 0; ///< current position, logical
};

// ---- paths in output coordinates ----------------------------------------------------------
struct PathOp {
    enum Kind { Move, Line, Curve, Close } kind;
    double x[3], y[3];
};

struct Path {
    std::vector<PathOp> ops;
    bool open = false; ///< a figure has been started and not closed
    void clear() {
        ops.clear();
        open = false;
    }
};

inline bool finiteMatrix(const cairo_matrix_t& m) {
    for (double v : {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0})
        if (!std::isfinite(v) || std::abs(v) > 1e12) return false;
    const double det = m.xx * m.yy - m.xy * m.yx;
    return std::abs(det) > 1e-14;
}

inline void setColor(cairo_t* cr, uint32_t c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                          ((c >> 16) & 0xFF) / 255.0, alpha);
}

struct Point {
    double x, y;
};

// ---- the player ---------------------------------------------------------------------------

// ---- the player ---------------------------------------------------------------------------
class Player {
public:
    Player(cairo_t* cr, const EmfPlayback& playback)
        : m_cr(cr), m_pb(playback), m_objects(std::max<uint32_t>(playback.handleCount, 1)) {}

    Status play(const ByteReader& file);

private:
    cairo_t* m_cr;
    const EmfPlayback& m_pb;
    std::vector<GdiObject> m_objects;
    DcState m_dc;
    std::vector<DcState> m_stack;
    int m_saved = 0;
    Path m_path;
    bool m_inPath = false;

    // -- coordinate mapping --
    cairo_matrix_t pageMatrix() const;

    /// Logical (world) coordinates to output pixels; false when the mapping is degenerate.
    bool logicalToOutput(cairo_matrix_t& m) const;

    static Point apply(const cairo_matrix_t& m, double x, double y) {
        cairo_matrix_transform_point(&m, &x, &y);
        return {x, y};
    }

    // -- building paths --
    // Figures go into the open path bracket, or into a scratch path drawn at once.
    Path m_scratch;
    Path& target() { return m_inPath ? m_path : m_scratch; }

    void moveTo(Path& p, const cairo_matrix_t& m, double x, double y);
    void lineTo(Path& p, const cairo_matrix_t& m, double x, double y);
    void curveTo(Path& p, const cairo_matrix_t& m, const Point& a, const Point& b, const Point& c);
    void closeFigure(Path& p);

    void emit(const Path& p, double offset);

    // -- filling and stroking --
    void setBrushSource(const Brush& b);

    void fill(const Path& p);

    void stroke(const Path& p);

    /// Draws the scratch figure now (fill when closed, then the outline), unless a path
    /// bracket is collecting it.
    void finishShape(bool filled);

    // -- reading points --
    std::vector<Point> points(const ByteReader& r, std::size_t offset, uint32_t count, bool small);

    // -- shapes --
    void poly(const ByteReader& r, uint32_t type, bool small);

    void polyPoly(const ByteReader& r, bool closed, bool small);

    void polyDraw(const ByteReader& r, bool small);

    // An elliptical arc from angle a through sweep, on the ellipse (cx, cy, rx, ry) in logical
    // coordinates (y down, angles counter-clockwise as seen).
    void arcSegments(Path& p, const cairo_matrix_t& m, double cx, double cy, double rx, double ry,
                     double a, double sweep, bool join);

    void ellipseOrArc(const ByteReader& r, uint32_t type);

    void roundRect(const ByteReader& r);

    void angleArc(const ByteReader& r);

    // -- clipping --
    void clipPolygon(const std::vector<Point>& pts, int mode);

    void clipRect(const ByteReader& r, bool exclude);

    void selectClipRegion(const ByteReader& r);

    void selectClipPath(const ByteReader& r);

    // -- bitmaps --
    struct Blit {
        double dstX, dstY, dstW, dstH, srcX, srcY, srcW, srcH;
        uint32_t offBmi, cbBmi, offBits, cbBits, rop;
        bool alpha = false;
        double constantAlpha = 1;
        /// The source origin of a bottom-up bitmap counts from its lower left corner.
        bool bottomUpSource = false;
    };

    void blit(const ByteReader& r, Blit b);

    void bitBlt(const ByteReader& r, uint32_t type);

    void stretchDiBits(const ByteReader& r);

    void setDiBitsToDevice(const ByteReader& r);

    // -- text --
    void extTextOut(const ByteReader& r, bool wide);

    // -- objects --
    GdiObject* slot(uint32_t index);

    void selectStock(uint32_t id);

    void selectObject(uint32_t index);

    std::shared_ptr<cairo_surface_t> hatchSurface(uint32_t hatch, uint32_t color);

    void createBrush(const ByteReader& r);

    void createPatternBrush(const ByteReader& r);

    void createPen(const ByteReader& r);

    void extCreatePen(const ByteReader& r);

    void createFont(const ByteReader& r);

    bool readXform(const ByteReader& r, std::size_t at, cairo_matrix_t& m);

    // -- the record switch --
    void record(uint32_t type, const ByteReader& r);
};

} // namespace velanox::codec::metafile::emf
