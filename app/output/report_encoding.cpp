#include "report_encoding.h"

#include <QStringEncoder>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

namespace velmor {
namespace {

// Characters outside code page 936 whose GB18030 code depends on the edition the system's
// converter follows (ICU 73 and later write GB18030-2022's two-byte codes for them). The file
// keeps the four-byte codes of GB18030-2005, which every earlier reader expects.
struct PinnedCode {
    char32_t codePoint;
    char bytes[5];
};
constexpr PinnedCode kPinned[] = {
    {0x9FB4, "\x82\x35\x90\x37"}, {0x9FB5, "\x82\x35\x90\x38"}, {0x9FB6, "\x82\x35\x90\x39"},
    {0x9FB7, "\x82\x35\x91\x30"}, {0x9FB8, "\x82\x35\x91\x31"}, {0x9FB9, "\x82\x35\x91\x32"},
    {0x9FBA, "\x82\x35\x91\x33"}, {0x9FBB, "\x82\x35\x91\x34"}, {0xFE10, "\x84\x31\x82\x36"},
    {0xFE11, "\x84\x31\x82\x37"}, {0xFE12, "\x84\x31\x82\x38"}, {0xFE13, "\x84\x31\x82\x39"},
    {0xFE14, "\x84\x31\x83\x30"}, {0xFE15, "\x84\x31\x83\x31"}, {0xFE16, "\x84\x31\x83\x32"},
    {0xFE17, "\x84\x31\x83\x33"}, {0xFE18, "\x84\x31\x83\x34"}, {0xFE19, "\x84\x31\x83\x35"},
};
static_assert(std::ranges::is_sorted(kPinned, {}, &PinnedCode::codePoint));

bool IsLineBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

std::optional<QByteArray> Pinned(char32_t codePoint) {
    const auto* it = std::ranges::lower_bound(kPinned, codePoint, {}, &PinnedCode::codePoint);
    if (it == std::end(kPinned) || it->codePoint != codePoint) return std::nullopt;
    return QByteArray(it->bytes, 4);
}

// The codes of the characters of the basic plane met so far in one text: each is worked out
// once (two converters cost about a microsecond), then copied.
class PlaneCodes {
  public:
    PlaneCodes() : codes_(0x10000), lengths_(0x10000) {}
    // Writes the code of c at out; the number of bytes written (at most 4).
    int Write(char16_t c, char* out) {
        if (lengths_[c] == 0) {
            const QByteArray bytes = EncodeReportCharacter(c);
            std::memcpy(&codes_[c], bytes.constData(), size_t(bytes.size()));
            lengths_[c] = quint8(bytes.size());
        }
        std::memcpy(out, &codes_[c], 4);
        return lengths_[c];
    }

  private:
    std::vector<quint32> codes_;
    std::vector<quint8> lengths_;
};

}  // namespace

QByteArray EncodeReportCharacter(char32_t codePoint) {
    if (std::optional<QByteArray> pinned = Pinned(codePoint)) return *pinned;
    // Not QString::fromUcs4, which takes a leading U+FEFF for a byte-order mark and drops it.
    const auto units = QChar::fromUcs4(codePoint);
    const QStringView character = units;
    // A fresh encoder each time: an ICU-based one that met an unmappable character stays failed.
    QStringEncoder gbk("GBK");
    QByteArray bytes = gbk.encode(character);
    // ICU's 936 table writes U+FEFF as nothing at all, which would lose the character.
    if (!gbk.hasError() && !bytes.isEmpty()) return bytes;
    QStringEncoder gb18030("GB18030");
    return gb18030.encode(character);
}

QByteArray EncodeReportText(QStringView text) {
    // At most four bytes for each UTF-16 unit (a pair's four bytes come from two units).
    QByteArray bytes(text.size() * 4, Qt::Uninitialized);
    char* out = bytes.data();
    std::optional<PlaneCodes> plane;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (IsLineBreak(c.unicode())) {
            // CR LF is one break, not two.
            i += (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ? 2 : 1;
            out = std::copy_n("\r\n", 2, out);
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const QByteArray code = EncodeReportCharacter(QChar::surrogateToUcs4(c, text[i + 1]));
            out = std::copy_n(code.constData(), code.size(), out);
            i += 2;
        } else if (c.isSurrogate()) {
            *out++ = '?';
            ++i;
        } else {
            if (!plane) plane.emplace();
            out += plane->Write(c.unicode(), out);
            ++i;
        }
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

}  // namespace velmor
