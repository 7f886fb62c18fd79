// The Enhanced Metafile player: the record switch, the device context and its mapping to output
// pixels, and the object table.
#include "codec/metafile/dib.h"
#include "codec/metafile/emf_player_state.h"

namespace velanox::codec::metafile::emf {

Status Player::play(const ByteReader& file) {
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

cairo_matrix_t Player::pageMatrix() const {
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
bool Player::logicalToOutput(cairo_matrix_t& m) const {
    const cairo_matrix_t page = pageMatrix();
    cairo_matrix_t worldPage;
    cairo_matrix_multiply(&worldPage, &m_dc.world, &page);
    cairo_matrix_multiply(&m, &worldPage, &m_pb.deviceToOutput);
    return finiteMatrix(m);
}

GdiObject* Player::slot(uint32_t index) {
    if (index == 0 || index >= m_objects.size()) return nullptr;
    return &m_objects[index];
}

void Player::selectStock(uint32_t id) {
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

void Player::selectObject(uint32_t index) {
    if (index & 0x80000000u) return selectStock(index & 0x7FFFFFFF);
    const GdiObject* o = slot(index);
    if (!o) return;
    if (auto* p = std::get_if<Pen>(o)) m_dc.pen = *p;
    if (auto* b = std::get_if<Brush>(o)) m_dc.brush = *b;
    if (auto* f = std::get_if<Font>(o)) m_dc.font = *f;
}

void Player::createBrush(const ByteReader& r) {
    if (!r.has(0, 24)) return;
    GdiObject* o = slot(r.u32(8));
    if (!o) return;
    Brush b{r.u32(12), r.u32(16) & 0xFFFFFF, r.u32(20), nullptr};
    if (b.style == 2) b.pattern = hatchSurface(b.hatch, b.color);
    if (b.style != 0 && b.style != 1 && b.style != 2) b.style = 0;
    *o = b;
}

void Player::createPen(const ByteReader& r) {
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

void Player::extCreatePen(const ByteReader& r) {
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

bool Player::readXform(const ByteReader& r, std::size_t at, cairo_matrix_t& m) {
    if (!r.has(at, 24)) return false;
    cairo_matrix_init(&m, r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16),
                      r.f32(at + 20));
    return finiteMatrix(m);
}

void Player::record(uint32_t type, const ByteReader& r) {
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
        if (r.has(0, 24) && r.i32(12) != 0 && r.i32(20) != 0 && r.i32(8) != 0 && r.i32(16) != 0) {
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

} // namespace velanox::codec::metafile::emf

namespace velanox::codec::metafile {

Status playEmf(const ByteReader& file, cairo_t* cr, const EmfPlayback& playback) {
    emf::Player player(cr, playback);
    return player.play(file);
}

} // namespace velanox::codec::metafile
