#include "report_text.h"

#include <QString>
#include <QStringEncoder>

namespace velmor {
namespace {

bool IsLineBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

// Rewrites every line break as CR LF.
QString WithCrLf(QStringView text) {
    QString out;
    out.reserve(text.size() + text.size() / 16 + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!IsLineBreak(c)) {
            out.append(QChar(c));
            continue;
        }
        // CR LF is one break, not two.
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        out.append(QLatin1StringView("\r\n"));
    }
    return out;
}

// The length in UTF-16 units of the code point starting at text[i].
qsizetype CodePointLength(QStringView text, qsizetype i) {
    return (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                              : 1;
}

}  // namespace

QByteArray EncodeReportText(QStringView text) {
    const QString crlf = WithCrLf(text);

    // ICU's 936 table writes U+FEFF (zero width no-break space) as nothing at all.
    constexpr char16_t kDroppedByGbk = 0xfeff;

    QStringEncoder gbk("GBK");
    QByteArray bytes = gbk.encode(crlf);
    if (!gbk.hasError() && !crlf.contains(QChar(kDroppedByGbk))) return bytes;

    // Some characters lie outside code page 936. Split the text into runs of characters that 936
    // holds and runs that it does not, and write the second kind in GB18030. Both encoders are
    // stateless, so runs can be encoded one after the other.
    bytes.clear();
    QStringEncoder gb18030("GB18030");
    const QStringView all(crlf);
    qsizetype runStart = 0;
    bool runInGbk = true;
    auto flush = [&](qsizetype end) {
        if (end == runStart) return;
        const QStringView run = all.sliced(runStart, end - runStart);
        bytes.append(runInGbk ? QByteArray(gbk.encode(run)) : QByteArray(gb18030.encode(run)));
    };
    for (qsizetype i = 0; i < all.size();) {
        const qsizetype length = CodePointLength(all, i);
        if (all[i].isSurrogate() && length == 1) {
            // Half of a surrogate pair: no encoding can hold it, and ICU would drop it.
            flush(i);
            bytes.append('?');
            runStart = i + 1;
            ++i;
            continue;
        }
        // A fresh encoder each time: resetState() does not bring an ICU-based one back to life.
        QStringEncoder probe("GBK");
        const QByteArray encoded = probe.encode(all.sliced(i, length));
        const bool inGbk = !probe.hasError() && !encoded.isEmpty();
        if (inGbk != runInGbk) {
            flush(i);
            runStart = i;
            runInGbk = inGbk;
        }
        i += length;
    }
    flush(all.size());
    return bytes;
}

}  // namespace velmor
