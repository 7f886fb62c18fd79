#include "codec/metafile/emf_player.h"

#include "codec/metafile/dib.h"

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

namespace velanox::codec::metafile {
namespace {

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

bool finiteMatrix(const cairo_matrix_t& m) {
    for (double v : {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0})
        if (!std::isfinite(v) || std::abs(v) > 1e12) return false;
    const double det = m.xx * m.yy - m.xy * m.yx;
    return std::abs(det) > 1e-14;
}

void setColor(cairo_t* cr, uint32_t c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                          ((c >> 16) & 0xFF) / 255.0, alpha);
}

struct Point {
    double x, y;
};

std::string utf16ToUtf8(const ByteReader& r, std::size_t offset, uint32_t count) {
    std::string s;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t c = r.u16(offset + 2 * i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
            const uint32_t lo = r.u16(offset + 2 * (i + 1));
            if (lo >= 0xDC00 && lo < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
        if (c < 0x80) {
            s += char(c);
        } else if (c < 0x800) {
            s += char(0xC0 | c >> 6);
            s += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            s += char(0xE0 | c >> 12);
            s += char(0x80 | ((c >> 6) & 0x3F));
            s += char(0x80 | (c & 0x3F));
        } else {
            s += char(0xF0 | c >> 18);
            s += char(0x80 | ((c >> 12) & 0x3F));
            s += char(0x80 | ((c >> 6) & 0x3F));
            s += char(0x80 | (c & 0x3F));
        }
    }
    return s;
}

std::string fontFamilyFor(const std::string& face) {
    std::string f;
    for (char c : face)
        f += char(std::tolower(static_cast<unsigned char>(c)));
    static const char* const sans[] = {"",
                                       "arial",
                                       "helvetica",
                                       "ms sans serif",
                                       "microsoft sans serif",
                                       "tahoma",
                                       "verdana",
                                       "segoe ui",
                                       "calibri",
                                       "system",
                                       "ms shell dlg",
                                       "ms shell dlg 2"};
    static const char* const serif[] = {"times new roman", "times",        "ms serif", "georgia",
                                        "cambria",         "book antiqua", "garamond"};
    static const char* const mono[] = {"courier new",    "courier",  "consolas",
                                       "lucida console", "fixedsys", "terminal"};
    for (const char* n : sans)
        if (f == n) return "Liberation Sans";
    for (const char* n : serif)
        if (f == n) return "Liberation Serif";
    for (const char* n : mono)
        if (f == n) return "Liberation Mono";
    return face;
}

// ---- the player ---------------------------------------------------------------------------
class Player {
public:
    Player(cairo_t* cr, const EmfPlayback& playback)
        : m_cr(cr), m_pb(playback), m_objects(std::max<uint32_t>(playback.handleCount, 1)) {}

    Status play(const ByteReader& file) {
        std::size_t offset = 0;
        while (file.has(offset, 8)) {
            const uint32_t type = file.u32(offset), size = file.u32(offset + 4);
            if (size < 8 || !file.has(offset, size)) break; // the caller checked the chain
            const ByteReader rec = file.sub(offset, size);
            if (type == kEof) break;
            record(type, rec);
            offset += size;
        }
        while (m_saved > 0) {
            cairo_restore(m_cr);
            --m_saved;
        }
        if (cairo_status(m_cr) != CAIRO_STATUS_SUCCESS)
            return Status::failure(cairo_status(m_cr) == CAIRO_STATUS_NO_MEMORY
                                       ? StatusCode::OutOfMemory
                                       : StatusCode::Corrupt,
                                   std::string("The Enhanced Metafile cannot be drawn: ") +
                                       cairo_status_to_string(cairo_status(m_cr)));
        return Status::success();
    }

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
    cairo_matrix_t pageMatrix() const {
        double sx = 1, sy = 1;
        const double mmX = m_pb.devicePixelsPerMmX, mmY = m_pb.devicePixelsPerMmY;
        switch (m_dc.mapMode) {
        case kMmLoMetric:
            sx = mmX * 0.1, sy = -mmY * 0.1;
            break;
        case kMmHiMetric:
            sx = mmX * 0.01, sy = -mmY * 0.01;
            break;
        case kMmLoEnglish:
            sx = mmX * 0.254, sy = -mmY * 0.254;
            break;
        case kMmHiEnglish:
            sx = mmX * 0.0254, sy = -mmY * 0.0254;
            break;
        case kMmTwips:
            sx = mmX * 25.4 / 1440, sy = -mmY * 25.4 / 1440;
            break;
        case kMmIsotropic:
        case kMmAnisotropic:
            sx = m_dc.winExtX != 0 ? m_dc.vpExtX / m_dc.winExtX : 0;
            sy = m_dc.winExtY != 0 ? m_dc.vpExtY / m_dc.winExtY : 0;
            if (m_dc.mapMode == kMmIsotropic) {
                const double m = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(m, sx);
                sy = std::copysign(m, sy);
            }
            break;
        default:
            break;
        }
        cairo_matrix_t m;
        cairo_matrix_init(&m, sx, 0, 0, sy, m_dc.vpOrgX - m_dc.winOrgX * sx,
                          m_dc.vpOrgY - m_dc.winOrgY * sy);
        return m;
    }

    /// Logical (world) coordinates to output pixels; false when the mapping is degenerate.
    bool logicalToOutput(cairo_matrix_t& m) const {
        const cairo_matrix_t page = pageMatrix();
        cairo_matrix_t worldPage;
        cairo_matrix_multiply(&worldPage, &m_dc.world, &page);
        cairo_matrix_multiply(&m, &worldPage, &m_pb.deviceToOutput);
        return finiteMatrix(m);
    }

    static Point apply(const cairo_matrix_t& m, double x, double y) {
        cairo_matrix_transform_point(&m, &x, &y);
        return {x, y};
    }

    // -- building paths --
    // Figures go into the open path bracket, or into a scratch path drawn at once.
    Path m_scratch;
    Path& target() { return m_inPath ? m_path : m_scratch; }

    void moveTo(Path& p, const cairo_matrix_t& m, double x, double y) {
        const Point o = apply(m, x, y);
        p.ops.push_back({PathOp::Move, {o.x}, {o.y}});
        p.open = true;
    }
    void lineTo(Path& p, const cairo_matrix_t& m, double x, double y) {
        if (!p.open) {
            const Point c = apply(m, m_dc.curX, m_dc.curY);
            p.ops.push_back({PathOp::Move, {c.x}, {c.y}});
            p.open = true;
        }
        const Point o = apply(m, x, y);
        p.ops.push_back({PathOp::Line, {o.x}, {o.y}});
    }
    void curveTo(Path& p, const cairo_matrix_t& m, const Point& a, const Point& b, const Point& c) {
        if (!p.open) lineTo(p, m, m_dc.curX, m_dc.curY);
        const Point oa = apply(m, a.x, a.y), ob = apply(m, b.x, b.y), oc = apply(m, c.x, c.y);
        p.ops.push_back({PathOp::Curve, {oa.x, ob.x, oc.x}, {oa.y, ob.y, oc.y}});
    }
    void closeFigure(Path& p) {
        if (!p.ops.empty() && p.ops.back().kind != PathOp::Close)
            p.ops.push_back({PathOp::Close, {0}, {0}});
        p.open = false;
    }

    void emit(const Path& p, double offset) {
        cairo_new_path(m_cr);
        for (const PathOp& op : p.ops) {
            switch (op.kind) {
            case PathOp::Move:
                cairo_move_to(m_cr, op.x[0] + offset, op.y[0] + offset);
                break;
            case PathOp::Line:
                cairo_line_to(m_cr, op.x[0] + offset, op.y[0] + offset);
                break;
            case PathOp::Curve:
                cairo_curve_to(m_cr, op.x[0] + offset, op.y[0] + offset, op.x[1] + offset,
                               op.y[1] + offset, op.x[2] + offset, op.y[2] + offset);
                break;
            case PathOp::Close:
                cairo_close_path(m_cr);
                break;
            }
        }
    }

    // -- filling and stroking --
    void setBrushSource(const Brush& b) {
        if (b.pattern) {
            cairo_pattern_t* pat = cairo_pattern_create_for_surface(b.pattern.get());
            cairo_pattern_set_extend(pat, CAIRO_EXTEND_REPEAT);
            cairo_pattern_set_filter(pat, CAIRO_FILTER_NEAREST);
            cairo_set_source(m_cr, pat);
            cairo_pattern_destroy(pat);
        } else {
            setColor(m_cr, b.color);
        }
    }

    void fill(const Path& p) {
        const Brush& b = m_dc.brush;
        if (b.isNull() || p.ops.empty()) return;
        cairo_set_fill_rule(m_cr, m_dc.polyFillMode == 2 ? CAIRO_FILL_RULE_WINDING
                                                         : CAIRO_FILL_RULE_EVEN_ODD);
        emit(p, 0);
        if (b.style == 2 && m_dc.bkMode == 2) { // hatches on an opaque background
            setColor(m_cr, m_dc.bkColor);
            cairo_fill_preserve(m_cr);
        }
        setBrushSource(b);
        cairo_fill(m_cr);
    }

    void stroke(const Path& p) {
        const Pen& pen = m_dc.pen;
        if (pen.isNull() || p.ops.empty()) return;
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        const double scale = std::sqrt(std::abs(m.xx * m.yy - m.xy * m.yx));
        const double deviceScale =
            std::sqrt(std::abs(m_pb.deviceToOutput.xx * m_pb.deviceToOutput.yy -
                               m_pb.deviceToOutput.xy * m_pb.deviceToOutput.yx));
        // A cosmetic pen is one device pixel wide whatever the mapping; no line is thinner
        // than one output pixel.
        const double width = std::clamp(pen.cosmetic() ? deviceScale : pen.width * scale, 1.0, 1e5);
        cairo_set_line_width(m_cr, width);
        const uint32_t cap = pen.style & 0xF00, join = pen.style & 0xF000;
        cairo_set_line_cap(m_cr, cap == 0x100   ? CAIRO_LINE_CAP_SQUARE
                                 : cap == 0x200 ? CAIRO_LINE_CAP_BUTT
                                                : CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(m_cr, join == 0x1000   ? CAIRO_LINE_JOIN_BEVEL
                                  : join == 0x2000 ? CAIRO_LINE_JOIN_MITER
                                                   : CAIRO_LINE_JOIN_ROUND);
        cairo_set_miter_limit(m_cr, std::clamp(m_dc.miterLimit, 1.0, 100.0));
        const double unit = std::max(width, deviceScale);
        std::vector<double> dashes;
        switch (pen.style & 0xF) {
        case 1:
            dashes = {6 * unit, 2 * unit};
            break;
        case 2:
            dashes = {unit, unit};
            break;
        case 3:
            dashes = {6 * unit, 2 * unit, unit, 2 * unit};
            break;
        case 4:
            dashes = {6 * unit, 2 * unit, unit, 2 * unit, unit, 2 * unit};
            break;
        case 7:
            for (double d : pen.userDashes)
                dashes.push_back(std::max(d * scale, 0.1));
            break;
        default:
            break;
        }
        cairo_set_dash(m_cr, dashes.empty() ? nullptr : dashes.data(), int(dashes.size()), 0);
        setColor(m_cr, pen.color);
        // A thin line on whole coordinates covers the pixel to the right and below, as on
        // the device.
        emit(p, width < 1.5 ? 0.5 : 0);
        cairo_stroke(m_cr);
        cairo_set_dash(m_cr, nullptr, 0, 0);
    }

    /// Draws the scratch figure now (fill when closed, then the outline), unless a path
    /// bracket is collecting it.
    void finishShape(bool filled) {
        if (m_inPath) return;
        if (filled) fill(m_scratch);
        stroke(m_scratch);
        m_scratch.clear();
    }

    // -- reading points --
    std::vector<Point> points(const ByteReader& r, std::size_t offset, uint32_t count, bool small) {
        std::vector<Point> pts;
        if (!r.hasArray(offset, count, small ? 4 : 8)) return pts;
        pts.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (small)
                pts.push_back({double(r.i16(offset + 4 * i)), double(r.i16(offset + 4 * i + 2))});
            else
                pts.push_back({double(r.i32(offset + 8 * i)), double(r.i32(offset + 8 * i + 4))});
        }
        return pts;
    }

    // -- shapes --
    void poly(const ByteReader& r, uint32_t type, bool small) {
        if (!r.has(0, 28)) return;
        const uint32_t count = r.u32(24);
        const std::vector<Point> pts = points(r, 28, count, small);
        if (pts.empty() || pts.size() != count) return;
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        Path& p = target();
        const bool closed = type == kPolygon || type == kPolygon16;
        const bool bezier = type == kPolyBezier || type == kPolyBezier16 || type == kPolyBezierTo ||
                            type == kPolyBezierTo16;
        const bool fromCurrent = type == kPolylineTo || type == kPolylineTo16 ||
                                 type == kPolyBezierTo || type == kPolyBezierTo16;
        std::size_t i = 0;
        if (!fromCurrent) {
            if (!m_inPath) p.open = false;
            moveTo(p, m, pts[0].x, pts[0].y);
            i = 1;
        } else if (!p.open) {
            moveTo(p, m, m_dc.curX, m_dc.curY);
        }
        if (bezier) {
            for (; i + 2 < pts.size(); i += 3)
                curveTo(p, m, pts[i], pts[i + 1], pts[i + 2]);
        } else {
            for (; i < pts.size(); ++i)
                lineTo(p, m, pts[i].x, pts[i].y);
        }
        if (closed) closeFigure(p);
        if (fromCurrent) {
            m_dc.curX = pts.back().x;
            m_dc.curY = pts.back().y;
        }
        finishShape(closed);
    }

    void polyPoly(const ByteReader& r, bool closed, bool small) {
        if (!r.has(0, 32)) return;
        const uint32_t polys = r.u32(24), total = r.u32(28);
        if (!r.hasArray(32, polys, 4)) return;
        const std::size_t pointsAt = 32 + std::size_t(polys) * 4;
        const std::vector<Point> pts = points(r, pointsAt, total, small);
        if (pts.size() != total) return;
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        Path& p = target();
        std::size_t at = 0;
        for (uint32_t k = 0; k < polys; ++k) {
            const uint32_t n = r.u32(32 + 4 * k);
            if (n > pts.size() - at) return;
            if (n == 0) continue;
            moveTo(p, m, pts[at].x, pts[at].y);
            for (uint32_t i = 1; i < n; ++i)
                lineTo(p, m, pts[at + i].x, pts[at + i].y);
            if (closed) closeFigure(p);
            at += n;
        }
        // In one fill, so that holes stay open.
        finishShape(closed);
    }

    void polyDraw(const ByteReader& r, bool small) {
        if (!r.has(0, 28)) return;
        const uint32_t count = r.u32(24);
        const std::vector<Point> pts = points(r, 28, count, small);
        const std::size_t typesAt = 28 + std::size_t(count) * (small ? 4 : 8);
        if (pts.size() != count || !r.has(typesAt, count)) return;
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        Path& p = target();
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t t = r.u8(typesAt + i);
            if ((t & 6) == 6) {
                moveTo(p, m, pts[i].x, pts[i].y);
            } else if ((t & 6) == 4 && i + 2 < count) {
                curveTo(p, m, pts[i], pts[i + 1], pts[i + 2]);
                i += 2;
            } else {
                lineTo(p, m, pts[i].x, pts[i].y);
            }
            if (t & 1) closeFigure(p);
            m_dc.curX = pts[std::min(i, count - 1)].x;
            m_dc.curY = pts[std::min(i, count - 1)].y;
        }
        finishShape(false);
    }

    // An elliptical arc from angle a through sweep, on the ellipse (cx, cy, rx, ry) in logical
    // coordinates (y down, angles counter-clockwise as seen).
    void arcSegments(Path& p, const cairo_matrix_t& m, double cx, double cy, double rx, double ry,
                     double a, double sweep, bool join) {
        auto at = [&](double t) { return Point{cx + rx * std::cos(t), cy - ry * std::sin(t)}; };
        const Point start = at(a);
        if (join)
            lineTo(p, m, start.x, start.y);
        else
            moveTo(p, m, start.x, start.y);
        const int segments = std::max(1, int(std::ceil(std::abs(sweep) / (std::numbers::pi / 2))));
        const double step = sweep / segments;
        const double k = 4.0 / 3.0 * std::tan(step / 4);
        for (int s = 0; s < segments; ++s) {
            const double t0 = a + s * step, t1 = t0 + step;
            const Point p0 = at(t0), p3 = at(t1);
            const Point d0{-rx * std::sin(t0), -ry * std::cos(t0)};
            const Point d1{-rx * std::sin(t1), -ry * std::cos(t1)};
            curveTo(p, m, {p0.x + k * d0.x, p0.y + k * d0.y}, {p3.x - k * d1.x, p3.y - k * d1.y},
                    p3);
        }
    }

    void ellipseOrArc(const ByteReader& r, uint32_t type) {
        if (!r.has(0, type == kEllipse || type == kRectangle ? 24 : 40)) return;
        const double l = r.i32(8), t = r.i32(12), rr = r.i32(16), b = r.i32(20);
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        Path& p = target();
        if (!m_inPath) p.clear();
        const double cx = (l + rr) / 2, cy = (t + b) / 2, rx = std::abs(rr - l) / 2,
                     ry = std::abs(b - t) / 2;
        if (type == kRectangle) {
            moveTo(p, m, l, t);
            lineTo(p, m, rr, t);
            lineTo(p, m, rr, b);
            lineTo(p, m, l, b);
            closeFigure(p);
            finishShape(true);
            return;
        }
        if (type == kEllipse) {
            arcSegments(p, m, cx, cy, rx, ry, 0, 2 * std::numbers::pi, false);
            closeFigure(p);
            finishShape(true);
            return;
        }
        if (rx <= 0 || ry <= 0) return;
        const double sx = r.i32(24), sy = r.i32(28), ex = r.i32(32), ey = r.i32(36);
        const double a1 = std::atan2(-(sy - cy) / ry, (sx - cx) / rx);
        const double a2 = std::atan2(-(ey - cy) / ry, (ex - cx) / rx);
        double sweep = a2 - a1;
        if (!m_dc.clockwise) {
            if (sweep <= 0) sweep += 2 * std::numbers::pi;
        } else if (sweep >= 0) {
            sweep -= 2 * std::numbers::pi;
        }
        if (type == kPie) {
            moveTo(p, m, cx, cy);
            arcSegments(p, m, cx, cy, rx, ry, a1, sweep, true);
            closeFigure(p);
        } else {
            arcSegments(p, m, cx, cy, rx, ry, a1, sweep, type == kArcTo);
            if (type == kChord) closeFigure(p);
        }
        if (type == kArcTo) {
            m_dc.curX = cx + rx * std::cos(a1 + sweep);
            m_dc.curY = cy - ry * std::sin(a1 + sweep);
        }
        finishShape(type == kChord || type == kPie);
    }

    void roundRect(const ByteReader& r) {
        if (!r.has(0, 32)) return;
        double l = r.i32(8), t = r.i32(12), rr = r.i32(16), b = r.i32(20);
        if (l > rr) std::swap(l, rr);
        if (t > b) std::swap(t, b);
        const double ex = std::min(std::abs(double(r.i32(24))) / 2, (rr - l) / 2);
        const double ey = std::min(std::abs(double(r.i32(28))) / 2, (b - t) / 2);
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        Path& p = target();
        if (!m_inPath) p.clear();
        const double h = std::numbers::pi / 2;
        arcSegments(p, m, rr - ex, t + ey, ex, ey, 0, h, false);
        arcSegments(p, m, l + ex, t + ey, ex, ey, h, h, true);
        arcSegments(p, m, l + ex, b - ey, ex, ey, 2 * h, h, true);
        arcSegments(p, m, rr - ex, b - ey, ex, ey, 3 * h, h, true);
        closeFigure(p);
        finishShape(true);
    }

    void angleArc(const ByteReader& r) {
        if (!r.has(0, 28)) return;
        const double cx = r.i32(8), cy = r.i32(12), radius = r.u32(16);
        const double start = r.f32(20), sweep = r.f32(24);
        if (!std::isfinite(start) || !std::isfinite(sweep) || std::abs(sweep) > 3600) return;
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        Path& p = target();
        const double a = start * std::numbers::pi / 180, s = sweep * std::numbers::pi / 180;
        if (!p.open) moveTo(p, m, m_dc.curX, m_dc.curY);
        arcSegments(p, m, cx, cy, radius, radius, a, s, true);
        m_dc.curX = cx + radius * std::cos(a + s);
        m_dc.curY = cy - radius * std::sin(a + s);
        finishShape(false);
    }

    // -- clipping --
    void clipPolygon(const std::vector<Point>& pts, int mode) {
        if (pts.size() < 3) return;
        if (mode == kRgnCopy) cairo_reset_clip(m_cr);
        if (mode == kRgnOr || mode == kRgnXor) return; // a clip can only shrink here
        cairo_new_path(m_cr);
        if (mode == kRgnDiff) {
            cairo_rectangle(m_cr, -1e6, -1e6, 2e6, 2e6);
            cairo_set_fill_rule(m_cr, CAIRO_FILL_RULE_EVEN_ODD);
        } else {
            cairo_set_fill_rule(m_cr, CAIRO_FILL_RULE_WINDING);
        }
        cairo_move_to(m_cr, pts[0].x, pts[0].y);
        for (std::size_t i = 1; i < pts.size(); ++i)
            cairo_line_to(m_cr, pts[i].x, pts[i].y);
        cairo_close_path(m_cr);
        cairo_clip(m_cr);
    }

    void clipRect(const ByteReader& r, bool exclude) {
        if (!r.has(0, 24)) return;
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        const double l = r.i32(8), t = r.i32(12), rr = r.i32(16), b = r.i32(20);
        clipPolygon({apply(m, l, t), apply(m, rr, t), apply(m, rr, b), apply(m, l, b)},
                    exclude ? kRgnDiff : kRgnAnd);
    }

    void selectClipRegion(const ByteReader& r) {
        if (!r.has(0, 16)) return;
        const uint32_t bytes = r.u32(8), mode = r.u32(12);
        if (bytes == 0 || !r.has(16, bytes) || bytes < 32) {
            if (mode == kRgnCopy) cairo_reset_clip(m_cr); // no region: back to the whole page
            return;
        }
        const uint32_t count = r.u32(16 + 8);
        if (!r.hasArray(48, count, 16) || uint64_t(count) * 16 > bytes - 32) return;
        if (mode == kRgnCopy) cairo_reset_clip(m_cr);
        if (mode == kRgnOr || mode == kRgnXor) return;
        const cairo_matrix_t& d = m_pb.deviceToOutput;
        cairo_new_path(m_cr);
        if (mode == kRgnDiff) cairo_rectangle(m_cr, -1e6, -1e6, 2e6, 2e6);
        cairo_set_fill_rule(m_cr,
                            mode == kRgnDiff ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        for (uint32_t i = 0; i < count; ++i) {
            const std::size_t o = 48 + std::size_t(i) * 16;
            const Point a = apply(d, r.i32(o), r.i32(o + 4));
            const Point b = apply(d, r.i32(o + 8), r.i32(o + 12));
            cairo_move_to(m_cr, a.x, a.y);
            cairo_line_to(m_cr, b.x, a.y);
            cairo_line_to(m_cr, b.x, b.y);
            cairo_line_to(m_cr, a.x, b.y);
            cairo_close_path(m_cr);
        }
        if (count == 0 && mode != kRgnDiff) cairo_rectangle(m_cr, 0, 0, 0, 0);
        cairo_clip(m_cr);
    }

    void selectClipPath(const ByteReader& r) {
        if (!r.has(0, 12)) return;
        const uint32_t mode = r.u32(8);
        if (mode == kRgnCopy) cairo_reset_clip(m_cr);
        if (mode != kRgnOr && mode != kRgnXor && !m_path.ops.empty()) {
            emit(m_path, 0);
            if (mode == kRgnDiff) {
                cairo_rectangle(m_cr, -1e6, -1e6, 2e6, 2e6);
                cairo_set_fill_rule(m_cr, CAIRO_FILL_RULE_EVEN_ODD);
            } else {
                cairo_set_fill_rule(m_cr, m_dc.polyFillMode == 2 ? CAIRO_FILL_RULE_WINDING
                                                                 : CAIRO_FILL_RULE_EVEN_ODD);
            }
            cairo_clip(m_cr);
        }
        m_path.clear();
    }

    // -- bitmaps --
    struct Blit {
        double dstX, dstY, dstW, dstH, srcX, srcY, srcW, srcH;
        uint32_t offBmi, cbBmi, offBits, cbBits, rop;
        bool alpha = false;
        double constantAlpha = 1;
        /// The source origin of a bottom-up bitmap counts from its lower left corner.
        bool bottomUpSource = false;
    };

    void blit(const ByteReader& r, Blit b) {
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        if (b.cbBmi == 0 || b.cbBits == 0) { // no bitmap: a pattern or constant operation
            if (b.rop != kPatCopy && b.rop != kBlackness && b.rop != kWhiteness) return;
            const std::vector<Point> quad = {
                apply(m, b.dstX, b.dstY), apply(m, b.dstX + b.dstW, b.dstY),
                apply(m, b.dstX + b.dstW, b.dstY + b.dstH), apply(m, b.dstX, b.dstY + b.dstH)};
            cairo_new_path(m_cr);
            cairo_move_to(m_cr, quad[0].x, quad[0].y);
            for (int i = 1; i < 4; ++i)
                cairo_line_to(m_cr, quad[i].x, quad[i].y);
            cairo_close_path(m_cr);
            if (b.rop == kPatCopy) {
                if (m_dc.brush.isNull()) return cairo_new_path(m_cr);
                setBrushSource(m_dc.brush);
            } else {
                setColor(m_cr, b.rop == kBlackness ? 0 : 0xFFFFFF);
            }
            cairo_fill(m_cr);
            return;
        }
        if (!r.has(b.offBmi, b.cbBmi) || !r.has(b.offBits, b.cbBits)) return;
        const SurfacePtr surface =
            decodeDib({r.data() + b.offBmi, b.cbBmi}, {r.data() + b.offBits, b.cbBits}, b.alpha,
                      m_pb.maxBitmapPixels);
        if (!surface) return;
        const int imgH = cairo_image_surface_get_height(surface.get());
        if (b.bottomUpSource) b.srcY = imgH - b.srcY - b.srcH;
        if (b.srcW == 0 || b.srcH == 0 || b.dstW == 0 || b.dstH == 0) return;

        // Source pixels to logical coordinates, then to output pixels.
        cairo_matrix_t toLogical;
        cairo_matrix_init(&toLogical, b.dstW / b.srcW, 0, 0, b.dstH / b.srcH,
                          b.dstX - b.srcX * b.dstW / b.srcW, b.dstY - b.srcY * b.dstH / b.srcH);
        cairo_matrix_t total;
        cairo_matrix_multiply(&total, &toLogical, &m);
        if (std::abs(total.xy) < 1e-9 && std::abs(total.yx) < 1e-9) {
            // Axis-aligned: land on whole output pixels, as the device does.
            const Point a = apply(m, b.dstX, b.dstY),
                        c = apply(m, b.dstX + b.dstW, b.dstY + b.dstH);
            const double x0 = std::round(a.x), y0 = std::round(a.y), x1 = std::round(c.x),
                         y1 = std::round(c.y);
            if (x0 == x1 || y0 == y1) return;
            cairo_matrix_init(&total, (x1 - x0) / b.srcW, 0, 0, (y1 - y0) / b.srcH,
                              x0 - b.srcX * (x1 - x0) / b.srcW, y0 - b.srcY * (y1 - y0) / b.srcH);
        }
        if (!finiteMatrix(total)) return;
        cairo_save(m_cr);
        cairo_set_matrix(m_cr, &total);
        cairo_pattern_t* pat = cairo_pattern_create_for_surface(surface.get());
        const bool oneToOne =
            std::abs(std::abs(total.xx) - 1) < 1e-9 && std::abs(std::abs(total.yy) - 1) < 1e-9;
        cairo_pattern_set_filter(pat, oneToOne ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
        cairo_pattern_set_extend(pat, CAIRO_EXTEND_PAD);
        cairo_set_source(m_cr, pat);
        cairo_pattern_destroy(pat);
        switch (b.rop) {
        case kSrcAnd:
            cairo_set_operator(m_cr, CAIRO_OPERATOR_MULTIPLY);
            break;
        case kSrcPaint:
            cairo_set_operator(m_cr, CAIRO_OPERATOR_LIGHTEN);
            break;
        case kSrcInvert:
            cairo_set_operator(m_cr, CAIRO_OPERATOR_DIFFERENCE);
            break;
        default:
            break;
        }
        cairo_new_path(m_cr);
        cairo_rectangle(m_cr, b.srcX, b.srcY, b.srcW, b.srcH);
        cairo_clip(m_cr);
        cairo_paint_with_alpha(m_cr, b.constantAlpha);
        cairo_restore(m_cr);
    }

    void bitBlt(const ByteReader& r, uint32_t type) {
        const std::size_t fixed = type == kBitBlt ? 100 : 108;
        if (!r.has(0, fixed)) return;
        Blit b{};
        b.dstX = r.i32(24), b.dstY = r.i32(28), b.dstW = r.i32(32), b.dstH = r.i32(36);
        b.rop = r.u32(40);
        b.srcX = r.i32(44), b.srcY = r.i32(48);
        b.offBmi = r.u32(84), b.cbBmi = r.u32(88), b.offBits = r.u32(92), b.cbBits = r.u32(96);
        if (type == kBitBlt) {
            b.srcW = b.dstW, b.srcH = b.dstH;
        } else {
            b.srcW = r.i32(100), b.srcH = r.i32(104);
        }
        if (type == kAlphaBlend) {
            const uint32_t blend = b.rop; // BLENDFUNCTION in place of the raster operation
            b.rop = kSrcCopy;
            b.constantAlpha = ((blend >> 16) & 0xFF) / 255.0;
            b.alpha = ((blend >> 24) & 0xFF) == 1;
        }
        blit(r, b);
    }

    void stretchDiBits(const ByteReader& r) {
        if (!r.has(0, 80)) return;
        Blit b{};
        b.dstX = r.i32(24), b.dstY = r.i32(28), b.srcX = r.i32(32), b.srcY = r.i32(36);
        b.srcW = r.i32(40), b.srcH = r.i32(44);
        b.offBmi = r.u32(48), b.cbBmi = r.u32(52), b.offBits = r.u32(56), b.cbBits = r.u32(60);
        b.rop = r.u32(68);
        b.dstW = r.i32(72), b.dstH = r.i32(76);
        b.bottomUpSource = r.has(b.offBmi, 12) && r.i32(b.offBmi + 8) > 0;
        blit(r, b);
    }

    void setDiBitsToDevice(const ByteReader& r) {
        if (!r.has(0, 76)) return;
        Blit b{};
        b.dstX = r.i32(24), b.dstY = r.i32(28), b.srcX = r.i32(32), b.srcY = r.i32(36);
        b.srcW = r.i32(40), b.srcH = r.i32(44);
        b.dstW = b.srcW, b.dstH = b.srcH;
        b.offBmi = r.u32(48), b.cbBmi = r.u32(52), b.offBits = r.u32(56), b.cbBits = r.u32(60);
        b.rop = kSrcCopy;
        b.bottomUpSource = r.has(b.offBmi, 12) && r.i32(b.offBmi + 8) > 0;
        blit(r, b);
    }

    // -- text --
    void extTextOut(const ByteReader& r, bool wide) {
        if (!r.has(0, 76)) return;
        double refX = r.i32(36), refY = r.i32(40);
        const uint32_t chars = r.u32(44), offString = r.u32(48), options = r.u32(52);
        const double rl = r.i32(56), rt = r.i32(60), rr = r.i32(64), rb = r.i32(68);
        const uint32_t offDx = r.u32(72);
        if (chars == 0 && !(options & 0x2)) return;
        if (!r.hasArray(offString, chars, wide ? 2 : 1)) return;
        cairo_matrix_t m;
        if (!logicalToOutput(m)) return;
        if (options & 0x2) { // ETO_OPAQUE: the rectangle is filled with the background
            setColor(m_cr, m_dc.bkColor);
            cairo_new_path(m_cr);
            const Point a = apply(m, rl, rt), b = apply(m, rr, rt), c = apply(m, rr, rb),
                        d = apply(m, rl, rb);
            cairo_move_to(m_cr, a.x, a.y);
            cairo_line_to(m_cr, b.x, b.y);
            cairo_line_to(m_cr, c.x, c.y);
            cairo_line_to(m_cr, d.x, d.y);
            cairo_close_path(m_cr);
            cairo_fill(m_cr);
        }
        if (chars == 0 || (options & 0x10)) return; // glyph indices cannot be mapped to text
        if (m_dc.textAlign & 1) {                   // TA_UPDATECP
            refX = m_dc.curX;
            refY = m_dc.curY;
        }
        std::vector<std::string> glyphs; // one UTF-8 string per character
        for (uint32_t i = 0; i < chars; ++i) {
            if (wide) {
                const uint16_t c = r.u16(offString + 2 * i);
                if (c >= 0xD800 && c < 0xDC00 && i + 1 < chars) {
                    glyphs.push_back(utf16ToUtf8(r, offString + 2 * i, 2));
                    glyphs.emplace_back(); // the low surrogate's advance
                    ++i;
                    continue;
                }
                glyphs.push_back(utf16ToUtf8(r, offString + 2 * i, 1));
            } else {
                const uint8_t c = r.u8(offString + i);
                glyphs.push_back(c < 0x80
                                     ? std::string(1, char(c))
                                     : std::string{char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))});
            }
        }
        const bool haveDx = offDx != 0 && r.hasArray(offDx, chars, 4);

        const Font& f = m_dc.font;
        // Output scale along the baseline and across it.
        const double scaleX = std::hypot(m.xx, m.yx), scaleY = std::hypot(m.xy, m.yy);
        double em = f.height < 0 ? -f.height : f.height > 0 ? f.height / 1.15 : 12;
        em *= scaleY;
        if (!(em > 0.5) || em > 1e4) return;
        const double angle = std::atan2(m.yx, m.xx) - f.escapement * std::numbers::pi / 1800;
        const Point ref = apply(m, refX, refY);

        cairo_save(m_cr);
        if (options & 0x4) { // ETO_CLIPPED
            const Point a = apply(m, rl, rt), b = apply(m, rr, rt), c = apply(m, rr, rb),
                        d = apply(m, rl, rb);
            cairo_new_path(m_cr);
            cairo_move_to(m_cr, a.x, a.y);
            cairo_line_to(m_cr, b.x, b.y);
            cairo_line_to(m_cr, c.x, c.y);
            cairo_line_to(m_cr, d.x, d.y);
            cairo_close_path(m_cr);
            cairo_clip(m_cr);
        }
        cairo_translate(m_cr, ref.x, ref.y);
        cairo_rotate(m_cr, angle);
        cairo_select_font_face(m_cr, fontFamilyFor(f.face).c_str(),
                               f.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                               f.weight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(m_cr, em);
        cairo_font_extents_t fe;
        cairo_font_extents(m_cr, &fe);

        // Advances: from the record when it has them, else from the font.
        std::vector<double> advance(glyphs.size());
        double total = 0;
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            if (haveDx) {
                advance[i] = r.i32(offDx + 4 * i) * scaleX;
            } else if (!glyphs[i].empty()) {
                cairo_text_extents_t te;
                cairo_text_extents(m_cr, glyphs[i].c_str(), &te);
                advance[i] = te.x_advance;
            }
            total += advance[i];
        }
        double x = 0, y = 0;
        const uint32_t h = m_dc.textAlign & 6, v = m_dc.textAlign & 24;
        if (h == 6)
            x = -total / 2;
        else if (h == 2)
            x = -total;
        if (v == 0)
            y = fe.ascent; // TA_TOP
        else if (v == 8)
            y = -fe.descent; // TA_BOTTOM

        if (m_dc.bkMode == 2 && !(options & 0x2)) {
            setColor(m_cr, m_dc.bkColor);
            cairo_rectangle(m_cr, x, y - fe.ascent, total, fe.ascent + fe.descent);
            cairo_fill(m_cr);
        }
        setColor(m_cr, m_dc.textColor);
        double pen = x;
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            if (!glyphs[i].empty()) {
                cairo_move_to(m_cr, pen, y);
                cairo_show_text(m_cr, glyphs[i].c_str());
            }
            pen += advance[i];
        }
        if (f.underline || f.strikeOut) {
            const double thick = std::max(1.0, em / 14);
            cairo_set_line_width(m_cr, thick);
            if (f.underline) {
                cairo_move_to(m_cr, x, y + em * 0.12);
                cairo_line_to(m_cr, x + total, y + em * 0.12);
            }
            if (f.strikeOut) {
                cairo_move_to(m_cr, x, y - em * 0.3);
                cairo_line_to(m_cr, x + total, y - em * 0.3);
            }
            cairo_stroke(m_cr);
        }
        cairo_restore(m_cr);
        if (m_dc.textAlign & 1) {
            const double advanceLogical = scaleX > 0 ? total / scaleX : 0;
            m_dc.curX += h == 2 ? -advanceLogical : advanceLogical;
        }
    }

    // -- objects --
    GdiObject* slot(uint32_t index) {
        if (index == 0 || index >= m_objects.size()) return nullptr;
        return &m_objects[index];
    }

    void selectStock(uint32_t id) {
        static const uint32_t greys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
        if (id <= 4) {
            m_dc.brush = Brush{0, greys[id], 0, nullptr};
        } else if (id == 5) {
            m_dc.brush = Brush{1, 0, 0, nullptr};
        } else if (id == 6 || id == 7) {
            m_dc.pen = Pen{0, 0, id == 6 ? 0xFFFFFFu : 0u, {}};
        } else if (id == 8) {
            m_dc.pen = Pen{5, 0, 0, {}};
        } else if (id >= 10 && id <= 17 && id != 15) {
            Font f;
            f.height = -13;
            f.face = (id == 10 || id == 11 || id == 16) ? "Courier New" : "Arial";
            f.weight = id == 13 ? 700 : 400;
            m_dc.font = f;
        } else if (id == 18) {
            m_dc.brush = Brush{0, 0xFFFFFF, 0, nullptr};
        } else if (id == 19) {
            m_dc.pen = Pen{};
        }
    }

    void selectObject(uint32_t index) {
        if (index & 0x80000000u) return selectStock(index & 0x7FFFFFFF);
        const GdiObject* o = slot(index);
        if (!o) return;
        if (auto* p = std::get_if<Pen>(o)) m_dc.pen = *p;
        if (auto* b = std::get_if<Brush>(o)) m_dc.brush = *b;
        if (auto* f = std::get_if<Font>(o)) m_dc.font = *f;
    }

    std::shared_ptr<cairo_surface_t> hatchSurface(uint32_t hatch, uint32_t color) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        cairo_t* c = cairo_create(s);
        setColor(c, color);
        cairo_set_line_width(c, 1);
        switch (hatch) {
        case 0:
            cairo_move_to(c, 0, 3.5), cairo_line_to(c, 8, 3.5);
            break; // horizontal
        case 1:
            cairo_move_to(c, 3.5, 0), cairo_line_to(c, 3.5, 8);
            break; // vertical
        case 2:
            cairo_move_to(c, 0, 0), cairo_line_to(c, 8, 8);
            break; // falling diagonal
        case 3:
            cairo_move_to(c, 0, 8), cairo_line_to(c, 8, 0);
            break; // rising diagonal
        case 4:
            cairo_move_to(c, 0, 3.5), cairo_line_to(c, 8, 3.5);
            cairo_move_to(c, 3.5, 0), cairo_line_to(c, 3.5, 8);
            break;
        default:
            cairo_move_to(c, 0, 0), cairo_line_to(c, 8, 8);
            cairo_move_to(c, 0, 8), cairo_line_to(c, 8, 0);
            break;
        }
        cairo_stroke(c);
        cairo_destroy(c);
        return {s, cairo_surface_destroy};
    }

    void createBrush(const ByteReader& r) {
        if (!r.has(0, 24)) return;
        GdiObject* o = slot(r.u32(8));
        if (!o) return;
        Brush b{r.u32(12), r.u32(16) & 0xFFFFFF, r.u32(20), nullptr};
        if (b.style == 2) b.pattern = hatchSurface(b.hatch, b.color);
        if (b.style != 0 && b.style != 1 && b.style != 2) b.style = 0;
        *o = b;
    }

    void createPatternBrush(const ByteReader& r) {
        if (!r.has(0, 32)) return;
        GdiObject* o = slot(r.u32(8));
        if (!o) return;
        const uint32_t offBmi = r.u32(16), cbBmi = r.u32(20), offBits = r.u32(24),
                       cbBits = r.u32(28);
        Brush b{0, 0x808080, 0, nullptr}; // a pattern that cannot be read paints grey
        if (r.has(offBmi, cbBmi) && r.has(offBits, cbBits) && cbBmi > 0) {
            SurfacePtr s =
                decodeDib({r.data() + offBmi, cbBmi}, {r.data() + offBits, cbBits}, false, 1 << 20);
            if (s) {
                b.style = 3;
                b.pattern = std::shared_ptr<cairo_surface_t>(s.release(), cairo_surface_destroy);
            }
        }
        *o = b;
    }

    void createPen(const ByteReader& r) {
        if (!r.has(0, 28)) return;
        GdiObject* o = slot(r.u32(8));
        if (!o) return;
        Pen p;
        p.style = r.u32(12);
        p.width = r.i32(16);
        p.color = r.u32(24) & 0xFFFFFF;
        // A pen from CreatePen is geometric when wider than one unit.
        if (p.width > 1) p.style |= 0x10000;
        *o = p;
    }

    void extCreatePen(const ByteReader& r) {
        if (!r.has(0, 52)) return;
        GdiObject* o = slot(r.u32(8));
        if (!o) return;
        Pen p;
        p.style = r.u32(28);
        p.width = r.u32(32);
        const uint32_t brushStyle = r.u32(36);
        p.color = r.u32(40) & 0xFFFFFF;
        if (brushStyle == 1) p.style = (p.style & ~0xFu) | 5; // a hollow brush draws nothing
        const uint32_t entries = r.u32(48);
        if ((p.style & 0xF) == 7 && entries > 0 && entries <= 64 && r.hasArray(52, entries, 4))
            for (uint32_t i = 0; i < entries; ++i)
                p.userDashes.push_back(r.u32(52 + 4 * i));
        if ((p.style & 0xF) == 7 && p.userDashes.empty()) p.style &= ~0xFu;
        *o = p;
    }

    void createFont(const ByteReader& r) {
        if (!r.has(0, 12 + 92)) return;
        GdiObject* o = slot(r.u32(8));
        if (!o) return;
        Font f;
        f.height = r.i32(12);
        f.escapement = r.i32(20);
        f.weight = r.i32(28);
        f.italic = r.u8(32) != 0;
        f.underline = r.u8(33) != 0;
        f.strikeOut = r.u8(34) != 0;
        uint32_t n = 0;
        while (n < 32 && r.u16(40 + 2 * n) != 0)
            ++n;
        f.face = utf16ToUtf8(r, 40, n);
        *o = f;
    }

    bool readXform(const ByteReader& r, std::size_t at, cairo_matrix_t& m) {
        if (!r.has(at, 24)) return false;
        cairo_matrix_init(&m, r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12),
                          r.f32(at + 16), r.f32(at + 20));
        return finiteMatrix(m);
    }

    // -- the record switch --
    void record(uint32_t type, const ByteReader& r) {
        auto i32 = [&](std::size_t o) { return double(r.i32(o)); };
        switch (type) {
        case kPolyBezier:
        case kPolygon:
        case kPolyline:
        case kPolyBezierTo:
        case kPolylineTo:
            poly(r, type, false);
            break;
        case kPolyBezier16:
        case kPolygon16:
        case kPolyline16:
        case kPolyBezierTo16:
        case kPolylineTo16:
            poly(r, type - (kPolyBezier16 - kPolyBezier), true);
            break;
        case kPolyPolyline:
            polyPoly(r, false, false);
            break;
        case kPolyPolygon:
            polyPoly(r, true, false);
            break;
        case kPolyPolyline16:
            polyPoly(r, false, true);
            break;
        case kPolyPolygon16:
            polyPoly(r, true, true);
            break;
        case kPolyDraw:
            polyDraw(r, false);
            break;
        case kPolyDraw16:
            polyDraw(r, true);
            break;
        case kSetWindowExtEx:
            if (r.has(0, 16) && r.i32(8) != 0 && r.i32(12) != 0)
                m_dc.winExtX = i32(8), m_dc.winExtY = i32(12);
            break;
        case kSetWindowOrgEx:
            if (r.has(0, 16)) m_dc.winOrgX = i32(8), m_dc.winOrgY = i32(12);
            break;
        case kSetViewportExtEx:
            if (r.has(0, 16) && r.i32(8) != 0 && r.i32(12) != 0)
                m_dc.vpExtX = i32(8), m_dc.vpExtY = i32(12);
            break;
        case kSetViewportOrgEx:
            if (r.has(0, 16)) m_dc.vpOrgX = i32(8), m_dc.vpOrgY = i32(12);
            break;
        case kScaleViewportExtEx:
        case kScaleWindowExtEx:
            if (r.has(0, 24) && r.i32(12) != 0 && r.i32(20) != 0 && r.i32(8) != 0 &&
                r.i32(16) != 0) {
                double& ex = type == kScaleWindowExtEx ? m_dc.winExtX : m_dc.vpExtX;
                double& ey = type == kScaleWindowExtEx ? m_dc.winExtY : m_dc.vpExtY;
                ex = ex * i32(8) / i32(12);
                ey = ey * i32(16) / i32(20);
            }
            break;
        case kSetPixelV:
            if (r.has(0, 20)) {
                cairo_matrix_t m;
                if (!logicalToOutput(m)) break;
                const Point p = apply(m, i32(8), i32(12));
                setColor(m_cr, r.u32(16));
                cairo_new_path(m_cr);
                cairo_rectangle(m_cr, std::floor(p.x), std::floor(p.y), 1, 1);
                cairo_fill(m_cr);
            }
            break;
        case kSetMapMode:
            if (r.has(0, 12) && r.u32(8) >= kMmText && r.u32(8) <= kMmAnisotropic)
                m_dc.mapMode = int(r.u32(8));
            break;
        case kSetBkMode:
            if (r.has(0, 12)) m_dc.bkMode = int(r.u32(8));
            break;
        case kSetPolyFillMode:
            if (r.has(0, 12)) m_dc.polyFillMode = int(r.u32(8));
            break;
        case kSetTextAlign:
            if (r.has(0, 12)) m_dc.textAlign = r.u32(8);
            break;
        case kSetTextColor:
            if (r.has(0, 12)) m_dc.textColor = r.u32(8) & 0xFFFFFF;
            break;
        case kSetBkColor:
            if (r.has(0, 12)) m_dc.bkColor = r.u32(8) & 0xFFFFFF;
            break;
        case kSetArcDirection:
            if (r.has(0, 12)) m_dc.clockwise = r.u32(8) == 2;
            break;
        case kSetMiterLimit:
            if (r.has(0, 12)) {
                // Stored as a float by some writers and as an integer by others.
                const float f = r.f32(8);
                m_dc.miterLimit = std::isfinite(f) && f >= 1 && f < 1000 ? f : double(r.u32(8));
            }
            break;
        case kMoveToEx:
            if (r.has(0, 16)) {
                m_dc.curX = i32(8), m_dc.curY = i32(12);
                if (m_inPath) {
                    cairo_matrix_t m;
                    if (logicalToOutput(m)) moveTo(m_path, m, m_dc.curX, m_dc.curY);
                }
            }
            break;
        case kLineTo:
            if (r.has(0, 16)) {
                cairo_matrix_t m;
                if (logicalToOutput(m)) {
                    Path& p = target();
                    if (!m_inPath) p.clear();
                    lineTo(p, m, i32(8), i32(12));
                    finishShape(false);
                }
                m_dc.curX = i32(8), m_dc.curY = i32(12);
            }
            break;
        case kRectangle:
        case kEllipse:
        case kArc:
        case kChord:
        case kPie:
        case kArcTo:
            ellipseOrArc(r, type);
            break;
        case kRoundRect:
            roundRect(r);
            break;
        case kAngleArc:
            angleArc(r);
            break;
        case kExcludeClipRect:
            clipRect(r, true);
            break;
        case kIntersectClipRect:
            clipRect(r, false);
            break;
        case kExtSelectClipRgn:
            selectClipRegion(r);
            break;
        case kSaveDc:
            if (m_saved < kMaxSavedStates) {
                m_stack.push_back(m_dc);
                cairo_save(m_cr);
                ++m_saved;
            }
            break;
        case kRestoreDc:
            if (r.has(0, 12)) {
                const int32_t n = r.i32(8);
                // Negative: relative to the current state; positive: an absolute level.
                const int64_t target = n < 0 ? int64_t(m_saved) + n : int64_t(n) - 1;
                if (target < 0 || target >= m_saved) break;
                while (m_saved > target) {
                    m_dc = m_stack.back();
                    m_stack.pop_back();
                    cairo_restore(m_cr);
                    --m_saved;
                }
            }
            break;
        case kSetWorldTransform: {
            cairo_matrix_t m;
            if (readXform(r, 8, m)) m_dc.world = m;
            break;
        }
        case kModifyWorldTransform: {
            cairo_matrix_t m;
            const uint32_t mode = r.u32(32);
            if (mode == 1 && r.has(0, 36)) {
                cairo_matrix_init_identity(&m_dc.world);
            } else if (r.has(0, 36) && readXform(r, 8, m)) {
                cairo_matrix_t result;
                if (mode == 2) // left multiply: the new transform applies first
                    cairo_matrix_multiply(&result, &m, &m_dc.world);
                else if (mode == 3)
                    cairo_matrix_multiply(&result, &m_dc.world, &m);
                else if (mode == 4)
                    result = m;
                else
                    break;
                if (finiteMatrix(result)) m_dc.world = result;
            }
            break;
        }
        case kSelectObject:
            if (r.has(0, 12)) selectObject(r.u32(8));
            break;
        case kDeleteObject:
            if (r.has(0, 12))
                if (GdiObject* o = slot(r.u32(8))) *o = std::monostate{};
            break;
        case kCreatePen:
            createPen(r);
            break;
        case kExtCreatePen:
            extCreatePen(r);
            break;
        case kCreateBrushIndirect:
            createBrush(r);
            break;
        case kCreateMonoBrush:
        case kCreateDibPatternBrushPt:
            createPatternBrush(r);
            break;
        case kExtCreateFontIndirectW:
            createFont(r);
            break;
        case kCreatePalette:
            if (r.has(0, 12))
                if (GdiObject* o = slot(r.u32(8))) *o = std::monostate{};
            break;
        case kBeginPath:
            m_path.clear();
            m_inPath = true;
            break;
        case kEndPath:
            m_inPath = false;
            break;
        case kCloseFigure:
            if (m_inPath) closeFigure(m_path);
            break;
        case kAbortPath:
            m_path.clear();
            m_inPath = false;
            break;
        case kFillPath:
        case kStrokeAndFillPath:
        case kStrokePath:
            if (m_inPath) break; // only a finished path can be drawn
            if (type != kStrokePath) fill(m_path);
            if (type != kFillPath) stroke(m_path);
            m_path.clear();
            break;
        case kSelectClipPath:
            selectClipPath(r);
            break;
        case kBitBlt:
        case kStretchBlt:
        case kAlphaBlend:
            bitBlt(r, type);
            break;
        case kStretchDiBits:
            stretchDiBits(r);
            break;
        case kSetDiBitsToDevice:
            setDiBitsToDevice(r);
            break;
        case kExtTextOutW:
            extTextOut(r, true);
            break;
        case kExtTextOutA:
            extTextOut(r, false);
            break;
        default:
            break; // not drawn: comments, palettes, colour management, EMF+ data ...
        }
    }
};

} // namespace

Status playEmf(const ByteReader& file, cairo_t* cr, const EmfPlayback& playback) {
    Player player(cr, playback);
    return player.play(file);
}

} // namespace velanox::codec::metafile
