// The Enhanced Metafile player's bitmaps: block transfers, stretched and device-independent
// bitmaps, hatch and pattern brushes.
#include "codec/metafile/dib.h"
#include "codec/metafile/emf_player_state.h"

namespace velanox::codec::metafile::emf {

void Player::blit(const ByteReader& r, Blit b) {
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
        const Point a = apply(m, b.dstX, b.dstY), c = apply(m, b.dstX + b.dstW, b.dstY + b.dstH);
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

void Player::bitBlt(const ByteReader& r, uint32_t type) {
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

void Player::stretchDiBits(const ByteReader& r) {
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

void Player::setDiBitsToDevice(const ByteReader& r) {
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

std::shared_ptr<cairo_surface_t> Player::hatchSurface(uint32_t hatch, uint32_t color) {
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

void Player::createPatternBrush(const ByteReader& r) {
    if (!r.has(0, 32)) return;
    GdiObject* o = slot(r.u32(8));
    if (!o) return;
    const uint32_t offBmi = r.u32(16), cbBmi = r.u32(20), offBits = r.u32(24), cbBits = r.u32(28);
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

} // namespace velanox::codec::metafile::emf
