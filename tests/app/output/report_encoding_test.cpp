// The report file's bytes, checked against bytes written down here rather than against the
// system's converters, which differ between releases.
#include <QCryptographicHash>
#include <QTest>

#include "report_encoding.h"

using namespace Qt::StringLiterals;
using velmor::EncodeReportText;

class ReportEncodingTest : public QObject {
    Q_OBJECT

  private slots:
    void encoding_data();
    void encoding();
    void everyBmpCharacter();
};

// Exact bytes, so also no byte-order mark and no NUL.
void ReportEncodingTest::encoding_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("empty box") << QString() << QByteArray();
    QTest::newRow("no break at the end") << u"a\nb"_s << "61 0d 0a 62"_ba;
    QTest::newRow("CR LF stays one break") << u"a\r\nb\r\n"_s << "61 0d 0a 62 0d 0a"_ba;
    QTest::newRow("lone CR, LF at the end") << u"a\rb\n"_s << "61 0d 0a 62 0d 0a"_ba;
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_s << "61 0d 0a 0d 0a 62"_ba;
    QTest::newRow("paragraph and line separators")
        << u"中\u2029文\u2028"_s << "d6 d0 0d 0a ce c4 0d 0a"_ba;
    QTest::newRow("a report label") << u"R1（omh）："_s << "52 31 a3 a8 6f 6d 68 a3 a9 a3 ba"_ba;
    QTest::newRow("euro, 936's single byte") << u"€"_s << "80"_ba;
    // Code page 936's user-defined areas, U+E7C7 included although GB18030 moved it.
    QTest::newRow("user-defined areas") << u"\ue000\ue7c7"_s << "aa a1 a8 bc"_ba;
    QTest::newRow("four-byte BMP characters")
        << u"µ²\ufffd"_s << "81 30 85 38 81 30 85 35 84 31 a4 37"_ba;
    // Not GB18030-2022's two-byte codes (a6 d9, a6 f3, fe 59, fe a0).
    QTest::newRow("codes that GB18030-2022 changed")
        << u"\ufe10\ufe19\u9fb4\u9fbb"_s << "84 31 82 36 84 31 83 35 82 35 90 37 82 35 91 34"_ba;
    QTest::newRow("astral characters")
        << u"😀\U00010000\U0010ffff"_s << "94 39 fc 36 90 30 81 30 e3 32 9a 35"_ba;
    // Code page 936 writes U+FEFF as nothing, which would lose it.
    QTest::newRow("zero width no-break space") << u"a\ufeffb"_s << "61 84 31 95 33 62"_ba;
    QTest::newRow("runs in both encodings")
        << u"Vµ中😀😀x²Ω"_s << "56 81 30 85 38 d6 d0 94 39 fc 36 94 39 fc 36 78 81 30 85 35 a6 b8"_ba;
    QTest::newRow("break after a four-byte character") << u"µ\nx"_s << "81 30 85 38 0d 0a 78"_ba;
    QTest::newRow("unpaired surrogates")
        << QString(QChar(0xd800)) + u'a' + QChar(0xdc00) + QChar(0xdbff) << "3f 61 3f 3f"_ba;
}

void ReportEncodingTest::encoding() {
    QFETCH(QString, text);
    QFETCH(QByteArray, hex);
    QCOMPARE(EncodeReportText(text).toHex(' '), hex);
}

// Every BMP character but the surrogates and line breaks, in one text. The digest was taken on
// Debian 12 (ICU 72) and is the same on Debian 13 (ICU 76): any character whose bytes change,
// through the program or through the system's tables, changes it.
void ReportEncodingTest::everyBmpCharacter() {
    QString all;
    for (char16_t c = 1; c != 0; ++c) {
        if (!QChar::isSurrogate(c) && !u"\n\r\u2028\u2029"_s.contains(QChar(c))) all += QChar(c);
    }
    const QByteArray bytes = EncodeReportText(all);
    QCOMPARE(bytes.size(), 205509);
    QCOMPARE(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
             "6884719b8ad05f38e271524bfb3d3b9345a55f25e3016641efb11d145e2697b9"_ba);
}

QTEST_GUILESS_MAIN(ReportEncodingTest)
#include "report_encoding_test.moc"
