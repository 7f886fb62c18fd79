// The Enhanced Metafile player's text: fonts created from their records, and ExtTextOut records
// drawn with the selected font through cairo's toy text interface.
#include "codec/metafile/emf_player_state.h"

namespace velanox::codec::metafile::emf {
namespace {

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

} // namespace

void Player::extTextOut(const ByteReader& r, bool wide) {
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
            glyphs.push_back(c < 0x80 ? std::string(1, char(c))
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

void Player::createFont(const ByteReader& r) {
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

} // namespace velanox::codec::metafile::emf
