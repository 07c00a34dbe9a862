// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Cp1252.h"
#include "model/PresetFile.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPresets.h"
#include "tests/support/WindowDriver.h"
#include "ui/main/frmMain.h"
#include "ui/picture/PresetSheet.h"
#include "ui/picture/SheetLayout.h"
#include "vocab/ShortText.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTest>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace {

using namespace qob;
using namespace qob::test;

// Everything at its longest: labels far beyond the editor's 8 characters, one word wider than
// any card, ten SysEx bytes, all modifiers, both mode bits, control bytes in the texts.
Preset crowdedPreset() {
    Preset p;
    p.Name = "\x1B]0;title\x07 A preset name far longer than the eleven characters of the editor";
    p.FaderLimit = {-32768, 32767};
    p.VPotLimit = {-255, 255};
    p.PresetIndex = 8;
    for (int e = 0; e < kElementCount; ++e) {
        for (const Layer layer : {Layer::Daw, Layer::Midi}) {
            ElementAssignment& a = p.Elements[e].record(layer);
            a.Mode = ElementMode::Push | ElementMode::Drawbar;
            a.Explain =
                e % 2 ? "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW" : "Several words in a label that wraps";
            switch ((e + (layer == Layer::Midi)) % 3) {
            case 0:
                a.Status = kStatusSysEx;
                a.Data1 = 0x43;
                a.Data2 = 0x10;
                a.SysExTail = {0x4C, 0, 0, 0x7E, 0, 0x41, 0x42, 0x43};
                break;
            case 1:
                a.Status = kStatusKeyboard;
                a.Data1 = 7;
                a.Data2 = 44;
                break;
            default:
                a.Status = 0xEF;
                break;
            }
        }
    }
    return p;
}

// The longest a narrow card carries, on the MIDI layer: ten SysEx bytes beside a hanging number
// (Buttons 1 and 16, each sharing its card with a label below) and under a transport key's name,
// a label of the eight widest control bytes and one with a soft hyphen, which text layout hides.
constexpr int kButton1 = 18;
constexpr int kButton8 = 25;
constexpr int kButton9 = 48;
constexpr int kButton16 = 55;
constexpr int kRew = 29;
const struct {
    int element;
    const char* label;     // nullptr: ten SysEx bytes instead
    std::uint8_t lastByte; // tells the SysEx cards apart
    const char* shown;
} kWorstCards[] = {
    {kButton1, nullptr, 0x7F, "SysEx 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F"},
    {kButton16, nullptr, 0x7E, "SysEx 7F 7F 7F 7F 7F 7F 7F 7F 7F 7E"},
    {kRew, nullptr, 0x7D, "SysEx 7F 7F 7F 7F 7F 7F 7F 7F 7F 7D"},
    {kButton9, "\x1A\x1B\x1C\x1D\x1E\x1F\x8D\x9D", 0, R"(\x1A\x1B\x1C\x1D\x1E\x1F\x8D\x9D)"},
    {kButton8, "Cut\xADoff", 0, R"(Cut\xADoff)"},
};

Preset worstCardsPreset() {
    Preset p = defaultPreset();
    constexpr std::uint8_t kFill = 0x7F;
    for (const auto& c : kWorstCards) {
        ElementAssignment& a = p.Elements[c.element].record(Layer::Midi);
        if (c.label) {
            a.Explain = c.label;
            continue;
        }
        a.Status = kStatusSysEx;
        a.Data1 = a.Data2 = kFill;
        a.SysExTail.fill(kFill);
        a.SysExTail.back() = c.lastByte;
    }
    return p;
}

QString withoutSpaces(QString s) {
    return s.remove(QRegularExpression(QStringLiteral("\\s")));
}

// Each card's texts in the order they read, spaces left out: a line may break anywhere.
QStringList cardTexts(const SheetPage& page) {
    QStringList cards;
    for (const QRectF& card : page.cards) {
        QString joined;
        for (const SheetText& t : page.texts)
            if (card.contains(t.rect))
                joined += t.text;
        cards << withoutSpaces(joined);
    }
    return cards;
}

// The labels a layer's page must show: every record's but a SysEx one's, which has none.
QStringList labelsOf(const Preset& p, Layer layer) {
    QStringList labels;
    for (const ElementSlot& slot : p.Elements) {
        const ElementAssignment& a = slot.record(layer);
        const QString label = fromCp1252(a.Explain).simplified();
        if (assignKind(a) != AssignKind::SysEx && !label.isEmpty())
            labels << label;
    }
    return labels;
}

qreal overlapArea(const QRectF& a, const QRectF& b) {
    const QRectF i = a.intersected(b);
    return i.isValid() ? i.width() * i.height() : 0.0;
}

std::string describe(const SheetText& t) {
    return t.text.toStdString() + " at " + std::to_string(t.rect.x()) + "," +
           std::to_string(t.rect.y()) + " " + std::to_string(t.rect.width()) + "x" +
           std::to_string(t.rect.height());
}

bool runsOnACard(SheetStyle style) {
    return style == SheetStyle::Tag || style == SheetStyle::Label || style == SheetStyle::Event ||
           style == SheetStyle::Mode;
}

TEST(SheetLayout, NothingOverlapsNothingIsCutNothingIsSmall) {
    const struct {
        const char* name;
        Preset preset;
    } presets[] = {{"Default.QOB", defaultPreset()},
                   {"crowded", crowdedPreset()},
                   {"worst cards", worstCardsPreset()}};
    // Texts may end exactly on the margin; a rounding error there is no fault.
    constexpr qreal kRounding = 0.001;
    const QRectF printable = QRectF(QPointF(kSheetMargin, kSheetMargin),
                                    kSheetPageSize - QSizeF(2 * kSheetMargin, 2 * kSheetMargin))
                                 .adjusted(-kRounding, -kRounding, kRounding, kRounding);
    for (const auto& [name, preset] : presets) {
        for (const Layer layer : {Layer::Daw, Layer::Midi}) {
            SCOPED_TRACE(std::string(name) + (layer == Layer::Midi ? " MIDI" : " DAW"));
            const SheetPage page = layoutSheetPage(preset, layer, QStringLiteral("Live.qob"));
            ASSERT_EQ(page.cards.size(), 3u * 8 + 8);
            // Control bytes from the file are shown escaped, never sent to the printer.
            const auto title =
                std::find_if(page.texts.begin(), page.texts.end(),
                             [](const SheetText& t) { return t.style == SheetStyle::Title; });
            ASSERT_NE(title, page.texts.end());
            if (preset.Name.starts_with('\x1B')) {
                EXPECT_TRUE(title->text.startsWith(QStringLiteral("\\x1B]0;title\\x07 A preset")))
                    << describe(*title);
            }

            for (std::size_t i = 0; i < page.texts.size(); ++i) {
                const SheetText& t = page.texts[i];
                EXPECT_GE(t.points, kSheetMinimumPoints) << describe(t);
                EXPECT_FALSE(t.text.isEmpty());
                EXPECT_TRUE(printable.contains(t.rect)) << describe(t);
                for (std::size_t j = i + 1; j < page.texts.size(); ++j)
                    EXPECT_LT(overlapArea(t.rect, page.texts[j].rect), 0.01)
                        << describe(t) << " and " << describe(page.texts[j]);
                if (runsOnACard(t.style)) {
                    const bool onACard =
                        std::any_of(page.cards.begin(), page.cards.end(),
                                    [&](const QRectF& c) { return c.contains(t.rect); });
                    EXPECT_TRUE(onACard) << describe(t);
                } else {
                    for (const QRectF& card : page.cards)
                        EXPECT_LT(overlapArea(t.rect, card), 0.01) << describe(t);
                }
                EXPECT_FALSE(
                    t.text.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1F\\x7F]"))))
                    << describe(t);
            }
            for (std::size_t i = 0; i < page.cards.size(); ++i) {
                EXPECT_TRUE(printable.contains(page.cards[i]));
                for (std::size_t j = i + 1; j < page.cards.size(); ++j)
                    EXPECT_LT(overlapArea(page.cards[i], page.cards[j]), 0.01);
            }
        }
    }
}

TEST(SheetLayout, EveryLabelAndEventOfDefaultIsOnItsLayersPage) {
    const Preset preset = defaultPreset();
    for (const Layer layer : {Layer::Daw, Layer::Midi}) {
        const SheetPage page = layoutSheetPage(preset, layer, {});
        QString all;
        for (const SheetText& t : page.texts)
            all += t.text + QLatin1Char(' '); // a wrapped event reads on
        for (int e = 0; e < kElementCount; ++e) {
            const ElementAssignment& a = preset.Elements[e].record(layer);
            const QString event = QString::fromStdString(shortEventText(a));
            EXPECT_TRUE(event.isEmpty() || all.contains(event)) << event.toStdString();
        }
        for (const QString& label : labelsOf(preset, layer))
            EXPECT_TRUE(all.contains(label)) << label.toStdString();
    }
}

using SheetFiles = ScratchFolder;

TEST_F(SheetFiles, PngAtTwiceAndSvgAtA4ForOneOrTwoLayers) {
    const Preset preset = defaultPreset();
    const struct {
        std::vector<Layer> layers;
        int pages;
    } cases[] = {{{Layer::Midi}, 1}, {{Layer::Daw, Layer::Midi}, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pages);
        ASSERT_TRUE(writeSheetFile(path("s.png"), SheetFormat::Png, preset, c.layers, {}).ok);
        const QImage png(path("s.png"));
        EXPECT_EQ(png.size(), QSize(2 * 1123, 2 * 794 * c.pages));

        ASSERT_TRUE(writeSheetFile(path("s.svg"), SheetFormat::Svg, preset, c.layers, {}).ok);
        EXPECT_TRUE(QSvgRenderer(path("s.svg")).isValid());
        // A4 wide and one A4 height a page, in millimetres and in the drawing's own units.
        const QString svg = QString::fromUtf8(bytesOf(path("s.svg")));
        const QRegularExpressionMatch m =
            QRegularExpression(
                QStringLiteral(
                    R"re(width="([\d.]+)mm" height="([\d.]+)mm"\s+viewBox="0 0 (\d+) (\d+)")re"))
                .match(svg);
        ASSERT_TRUE(m.hasMatch()) << svg.left(300).toStdString();
        EXPECT_NEAR(m.captured(1).toDouble(), 297.0, 0.5);
        EXPECT_NEAR(m.captured(2).toDouble(), 210.0 * c.pages, 0.5 * c.pages);
        EXPECT_EQ(m.captured(3).toInt(), 1123);
        EXPECT_EQ(m.captured(4).toInt(), 794 * c.pages);
        EXPECT_TRUE(svg.contains(QStringLiteral(">Mix Default<")));
    }
    // The PNG is not blank: the dark surface lies on white paper.
    const QImage png(path("s.png"));
    EXPECT_EQ(png.pixelColor(4, 4), QColor(Qt::white));
    EXPECT_LT(png.pixelColor(png.width() / 2, png.height() / 4).lightness(), 128);
}

TEST_F(SheetFiles, AFailedWriteLeavesNoFileAndSaysWhere) {
    const QString out = dir.filePath(QStringLiteral("missing/folder/s.pdf"));
    const SheetWriteResult r =
        writeSheetFile(out, SheetFormat::Pdf, defaultPreset(), {Layer::Daw}, {});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(out)) << r.error.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

QString tool(const char* name) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    EXPECT_FALSE(found.isEmpty()) << name << " missing: run scripts/install-deps.sh";
    return found;
}

// `area` in page points, which are the PDF's: only the text inside it.
QString pdfText(const QString& pdf, int page, const QRectF& area = {}) {
    QStringList args{QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                     QString::number(page)};
    if (area.isValid()) {
        const QRect r = area.toAlignedRect();
        args << "-x" << QString::number(r.x()) << "-y" << QString::number(r.y()) << "-W"
             << QString::number(r.width()) << "-H" << QString::number(r.height());
    }
    const Outcome o = run(tool("pdftotext"), args << pdf << QStringLiteral("-"));
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    return o.out.simplified();
}

int pdfPages(const QString& pdf) {
    const Outcome o = run(tool("pdfinfo"), {pdf});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(o.out);
    EXPECT_TRUE(o.out.contains(QStringLiteral("842 x 595 pts (A4)"))) << o.out.toStdString();
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

TEST_F(SheetFiles, CliPdfHasOnePagePerLayerWithEveryLabelSelectable) {
    const Preset preset = defaultPreset();
    const QString pdf = path("sheet.pdf");
    const Outcome both =
        runQob({QStringLiteral("sheet"), kDefault, QStringLiteral("-o"), pdf}, withoutDisplay());
    ASSERT_EQ(both.status, 0) << both.err.toStdString();
    EXPECT_TRUE(both.err.isEmpty()) << both.err.toStdString();
    ASSERT_EQ(pdfPages(pdf), 2);
    const struct {
        Layer layer;
        int page;
    } pages[] = {{Layer::Daw, 1}, {Layer::Midi, 2}};
    for (const auto& [layer, number] : pages) {
        const QString text = pdfText(pdf, number);
        EXPECT_TRUE(text.contains(layer == Layer::Midi ? QStringLiteral("MIDI layer")
                                                       : QStringLiteral("DAW layer")));
        EXPECT_TRUE(text.contains(QStringLiteral("Mix Default")));
        const QStringList labels = labelsOf(preset, layer);
        EXPECT_FALSE(labels.isEmpty());
        for (const QString& label : labels)
            EXPECT_TRUE(text.contains(label)) << "page " << number << ": " << label.toStdString();
    }

    const Outcome midi = runQob({QStringLiteral("sheet"), kDefault, QStringLiteral("-o"), pdf,
                                 QStringLiteral("--layer"), QStringLiteral("midi"),
                                 QStringLiteral("--slot"), QStringLiteral("5")},
                                withoutDisplay());
    ASSERT_EQ(midi.status, 0) << midi.err.toStdString();
    ASSERT_EQ(pdfPages(pdf), 1);
    const QString text = pdfText(pdf, 1);
    EXPECT_TRUE(text.contains(QStringLiteral("MIDI layer"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("slot 5"))) << text.toStdString();
}

// Nothing is cut: set smaller or wrapped, every byte is on exactly one card in the layout, and in
// the PDF's text of that card.
TEST_F(SheetFiles, ANarrowCardShowsAllItCarries) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext missing: scripts/install-deps.sh installs poppler-utils";
    const Preset preset = worstCardsPreset();
    const QString pdf = path("worst.pdf");
    ASSERT_TRUE(writeSheetFile(pdf, SheetFormat::Pdf, preset, {Layer::Midi}, {}).ok);
    const SheetPage page = layoutSheetPage(preset, Layer::Midi, {});
    const QStringList cards = cardTexts(page);
    for (const auto& c : kWorstCards) {
        const QString shown = withoutSpaces(QString::fromLatin1(c.shown));
        ASSERT_EQ(cards.filter(shown).size(), 1) << c.shown << " in\n"
                                                 << cards.join('\n').toStdString();
        const auto card =
            std::ranges::find_if(cards, [&](const QString& t) { return t.contains(shown); });
        // Card by card: across the page a card's lines run on into its neighbours'.
        const QString text = withoutSpaces(pdfText(pdf, 1, page.cards[card - cards.begin()]));
        EXPECT_TRUE(text.contains(shown)) << c.shown << " in " << text.toStdString();
    }
}

TEST_F(SheetFiles, CliRefusalsLeaveTheOutputAlone) {
    const QString out = path("kept.pdf");
    writeBytes(out, "old");
    const QString broken = path("broken.qob");
    writeBytes(broken, "\"not a preset\"\r\n");
    const struct {
        QStringList args;
        int status;
        const char* says;
    } cases[] = {
        {{"sheet", kDefault, "-o", path("s.jpg")}, 2, "'sheet' writes a .pdf, .png or .svg file"},
        {{"sheet", kDefault}, 2, "'sheet' needs -o OUT"},
        {{"sheet", kDefault, "-o", out, "--layer", "both"}, 2, "--layer must be daw or midi"},
        {{"sheet", kDefault, "-o", out, "--slot", "9"}, 2, "--slot must be 1..8"},
        {{"sheet", broken, "-o", out}, 1, "Invalid QOB-TANDRIX Preset File!"},
        {{"sheet", kDefault, "-o", path("no/such/folder/s.svg")}, 1, "cannot write"},
    };
    for (const auto& c : cases) {
        const Outcome o = runQob(c.args, withoutDisplay());
        EXPECT_EQ(o.status, c.status) << c.args.join(' ').toStdString() << "\n"
                                      << o.err.toStdString();
        EXPECT_TRUE(o.err.contains(QString::fromUtf8(c.says))) << o.err.toStdString();
    }
    EXPECT_EQ(bytesOf(out), "old");
    EXPECT_FALSE(QFile::exists(path("s.jpg")));
}

// The sheet goes through the same careful save as presets, in every format: what a save keeps
// or refuses, a sheet does too, and a failure leaves the old file as it was.
TEST_F(SheetFiles, EveryFormatIsWrittenWholeOrNotAtAll) {
    struct Target {
        const char* what;
        const char* shell; // run before qob
        std::function<void(const QString& out)> make;
        int status;
        const char* says;
    };
    const QString other = path("other name");
    const Target targets[] = {
        {"read-only", "", [](const QString& out) { makeFile(out, "old", 0444); }, 1,
         "is read-only"},
        {"a FIFO", "",
         [](const QString& out) { ASSERT_EQ(::mkfifo(encoded(out).constData(), 0666), 0); }, 1,
         "is not a regular file"},
        {"a file-size limit", "ulimit -f 1;", [](const QString& out) { writeBytes(out, "old"); }, 1,
         "File too large"},
        {"a hard link", "",
         [&](const QString& out) {
             writeBytes(out, "old");
             addName(out, other);
         },
         0, ""},
    };
    for (const char* format : {"pdf", "png", "svg"}) {
        for (const Target& t : targets) {
            SCOPED_TRACE(std::string(format) + ", " + t.what);
            const QString out = path(QStringLiteral("sheet.") + QLatin1String(format));
            QFile::remove(out);
            QFile::remove(other);
            t.make(out);
            const Outcome o =
                run(QStringLiteral("/bin/sh"),
                    {"-c", QLatin1String(t.shell) + QStringLiteral(" exec \"$0\" \"$@\""), QOB_CLI,
                     "sheet", kDefault, "-o", out},
                    withoutDisplay());
            EXPECT_EQ(o.status, t.status) << o.err.toStdString();
            EXPECT_TRUE(o.err.contains(QLatin1String(t.says))) << o.err.toStdString();
            if (t.status == 0) {
                EXPECT_EQ(bytesOf(other), bytesOf(out)) << "the other name sees the new sheet";
            } else if (QFileInfo(out).isFile()) {
                EXPECT_EQ(bytesOf(out), "old");
            }
        }
    }
    EXPECT_EQ(entriesOf(dir.path()),
              QStringList({"other name", "sheet.pdf", "sheet.png", "sheet.svg"}))
        << "no temporary file left";
}

// Card texts are escaped, and so is the title: a name no XML parser rejects.
TEST_F(SheetFiles, TheSvgTitleIsEscaped) {
    Preset preset = defaultPreset();
    preset.Name = "R&B <Mix>\x1B";
    const QString svg = path("title.svg");
    ASSERT_TRUE(writeSheetFile(svg, SheetFormat::Svg, preset, {Layer::Daw}, {}).ok);
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString title;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("title") && title.isEmpty())
            title = xml.readElementText();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(title, QStringLiteral("Preset sheet: R&B <Mix>\\x1B"));
}

TEST_F(SheetFiles, CtrlPPrintsBothLayersThroughThePrintDialog) {
    Preset preset;
    EditorState state;
    frmMain window(preset, state);
    DialogAnswers dialogs;
    dialogs.answerDialogs(window);
    window.startUp(QStringLiteral(QOB_SOURCE_DIR "/resources"));
    const QString pdf = path("printed.pdf");
    int asked = 0;
    window.seams().askPrinter = [&](QPrinter& printer) {
        ++asked;
        EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
        printer.setOutputFileName(pdf); // what the dialog's "Print to File (PDF)" does
        return true;
    };
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(asked, 1);
    ASSERT_EQ(pdfPages(pdf), 2);
    EXPECT_TRUE(pdfText(pdf, 2).contains(QStringLiteral("MIDI layer")));

    // Printed to a file the careful way: a file that cannot be replaced stays as it was.
    const QString readOnly = path("read only.pdf");
    makeFile(readOnly, "old", 0444);
    window.seams().askPrinter = [&](QPrinter& printer) {
        printer.setOutputFileName(readOnly);
        return true;
    };
    window.files().printSheet();
    EXPECT_EQ(bytesOf(readOnly), "old");
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[0], "Couldn't print the preset sheet!");
    EXPECT_TRUE(dialogs.messages[1].contains("is read-only")) << dialogs.messages[1].toStdString();
    dialogs.messages.clear();

    // Cancelled: nothing is printed.
    QFile::remove(pdf);
    window.seams().askPrinter = [](QPrinter&) { return false; };
    window.files().printSheet();
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
}

} // namespace
