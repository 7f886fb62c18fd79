// The Enhanced Metafile player's paths and shapes: figures built in output coordinates, filled and
// stroked with the selected brush and pen, and the clipping records.
#include "codec/metafile/emf_player_state.h"

namespace velanox::codec::metafile::emf {

void Player::moveTo(Path& p, const cairo_matrix_t& m, double x, double y) {
    const Point o = apply(m, x, y);
    p.ops.push_back({PathOp::Move, {o.x}, {o.y}});
    p.open = true;
}

void Player::lineTo(Path& p, const cairo_matrix_t& m, double x, double y) {
    if (!p.open) {
        const Point c = apply(m, m_dc.curX, m_dc.curY);
        p.ops.push_back({PathOp::Move, {c.x}, {c.y}});
        p.open = true;
    }
    const Point o = apply(m, x, y);
    p.ops.push_back({PathOp::Line, {o.x}, {o.y}});
}

void Player::curveTo(Path& p, const cairo_matrix_t& m, const Point& a, const Point& b,
                     const Point& c) {
    if (!p.open) lineTo(p, m, m_dc.curX, m_dc.curY);
    const Point oa = apply(m, a.x, a.y), ob = apply(m, b.x, b.y), oc = apply(m, c.x, c.y);
    p.ops.push_back({PathOp::Curve, {oa.x, ob.x, oc.x}, {oa.y, ob.y, oc.y}});
}

void Player::closeFigure(Path& p) {
    if (!p.ops.empty() && p.ops.back().kind != PathOp::Close)
        p.ops.push_back({PathOp::Close, {0}, {0}});
    p.open = false;
}

void Player::emit(const Path& p, double offset) {
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

void Player::setBrushSource(const Brush& b) {
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

void Player::fill(const Path& p) {
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

void Player::stroke(const Path& p) {
    const Pen& pen = m_dc.pen;
    if (pen.isNull() || p.ops.empty()) return;
    cairo_matrix_t m;
    if (!logicalToOutput(m)) return;
    const double scale = std::sqrt(std::abs(m.xx * m.yy - m.xy * m.yx));
    const double deviceScale = std::sqrt(std::abs(m_pb.deviceToOutput.xx * m_pb.deviceToOutput.yy -
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
void Player::finishShape(bool filled) {
    if (m_inPath) return;
    if (filled) fill(m_scratch);
    stroke(m_scratch);
    m_scratch.clear();
}

std::vector<Point> Player::points(const ByteReader& r, std::size_t offset, uint32_t count,
                                  bool small) {
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

void Player::poly(const ByteReader& r, uint32_t type, bool small) {
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

void Player::polyPoly(const ByteReader& r, bool closed, bool small) {
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

void Player::polyDraw(const ByteReader& r, bool small) {
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
void Player::arcSegments(Path& p, const cairo_matrix_t& m, double cx, double cy, double rx,
                         double ry, double a, double sweep, bool join) {
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
        curveTo(p, m, {p0.x + k * d0.x, p0.y + k * d0.y}, {p3.x - k * d1.x, p3.y - k * d1.y}, p3);
    }
}

void Player::ellipseOrArc(const ByteReader& r, uint32_t type) {
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

void Player::roundRect(const ByteReader& r) {
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

void Player::angleArc(const ByteReader& r) {
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

void Player::clipPolygon(const std::vector<Point>& pts, int mode) {
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

void Player::clipRect(const ByteReader& r, bool exclude) {
    if (!r.has(0, 24)) return;
    cairo_matrix_t m;
    if (!logicalToOutput(m)) return;
    const double l = r.i32(8), t = r.i32(12), rr = r.i32(16), b = r.i32(20);
    clipPolygon({apply(m, l, t), apply(m, rr, t), apply(m, rr, b), apply(m, l, b)},
                exclude ? kRgnDiff : kRgnAnd);
}

void Player::selectClipRegion(const ByteReader& r) {
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

void Player::selectClipPath(const ByteReader& r) {
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

} // namespace velanox::codec::metafile::emf
