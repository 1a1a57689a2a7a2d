#include <gtest/gtest.h>

#include <QFile>
#include <QFontDatabase>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "about/KPAboutBoxController.h"
#include "about/KPAboutBoxScrollView.h"
#include "about/ScopedMainBundle.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

using about_internal::KPAboutBoxScrollView;
using test::ScopedMainBundle;

const QVariantMap kInfo{{Bundle::nameKey, "Lens"},
                        {Bundle::shortVersionKey, "2.1"},
                        {Bundle::versionKey, "210"},
                        {Bundle::copyrightKey, "Copyright 2026 Us"}};

const char* const kTemplate =
    "<p style='font-size:20pt'>App</p><p style='font-size:11pt'>Version</p>"
    "<p>Copyright</p><p>Credits</p>";

// A bundle over a fresh folder holding `credits` as Credits.html (none when null).
QString bundleFolderWithCredits(const char* credits) {
    const auto dir = test::makeTempDir("talvex-about");
    if (credits) {
        QFile file(QString::fromStdString((dir / "Credits.html").string()));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(credits);
    }
    return QString::fromStdString(dir.string());
}

// Fills a text view holding `templateHtml` and returns its text.
QString fill(KPAboutBoxScrollView& view, const QString& templateHtml) {
    view.setHtml(templateHtml);
    KPAboutBoxController controller;
    controller.setTextView(&view);
    controller.updateText();
    return view.toPlainText();
}

QTextCharFormat formatOf(const QTextDocument& document, const QString& text) {
    QTextCursor found = document.find(text);
    EXPECT_FALSE(found.isNull()) << text.toStdString();
    found.setPosition(found.selectionStart() + 1);
    return found.charFormat();
}

TEST(AboutBoxText, FillsThePlaceholdersWithSystemFontsAtTheTemplateSizes) {
    ScopedMainBundle bundle(kInfo, bundleFolderWithCredits("<p>Made by us.</p>"));
    KPAboutBoxScrollView view;
    EXPECT_EQ(fill(view, kTemplate), "Lens\nVersion 2.1 (210)\nCopyright 2026 Us\nMade by us.");

    const QString systemFamily = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    const QFont name = formatOf(*view.document(), "Lens").font();
    EXPECT_TRUE(name.bold());
    EXPECT_EQ(name.pointSizeF(), 20);
    EXPECT_EQ(name.family(), systemFamily);
    const QFont version = formatOf(*view.document(), "Version 2.1").font();
    EXPECT_FALSE(version.bold());
    EXPECT_EQ(version.pointSizeF(), 11);
    EXPECT_EQ(version.family(), systemFamily);
}

TEST(AboutBoxText, OnlyTheFirstLucidaGrandeOfTheCreditsBecomesHelveticaNeue) {
    ScopedMainBundle bundle(kInfo, bundleFolderWithCredits(R"(<html><head><style>
        .a { font-family: "Lucida Grande"; color: #ff0000; }
        .b { font-family: "Lucida Grande"; }
        </style></head><body><p class="a">First</p><p class="b">Second</p></body></html>)"));
    KPAboutBoxScrollView view;
    fill(view, kTemplate);
    const QTextCharFormat first = formatOf(*view.document(), "First");
    EXPECT_EQ(first.fontFamilies().toStringList(), QStringList{"Helvetica Neue"});
    EXPECT_EQ(formatOf(*view.document(), "Second").fontFamilies().toStringList(),
              QStringList{"Lucida Grande"});
    // The text view's palette colours all text, the credits' own colours included.
    EXPECT_FALSE(first.hasProperty(QTextFormat::ForegroundBrush));
}

TEST(AboutBoxText, MissingOrUndecodableCreditsLeaveTheCreditsEmpty) {
    const char* const undecodable =
        "<html><head><meta charset=\"utf-8\"></head><body>caf\xe9</body></html>";
    for (const char* credits : {static_cast<const char*>(nullptr), undecodable}) {
        ScopedMainBundle bundle(kInfo, bundleFolderWithCredits(credits));
        KPAboutBoxScrollView view;
        EXPECT_EQ(fill(view, kTemplate), "Lens\nVersion 2.1 (210)\nCopyright 2026 Us\n");
    }
}

TEST(AboutBoxText, TemplatesWithMissingOrReorderedPlaceholdersStillFillTheRest) {
    ScopedMainBundle bundle(kInfo, bundleFolderWithCredits("<p>Made by us.</p>"));
    KPAboutBoxScrollView missing;
    EXPECT_EQ(fill(missing, "<p>App</p><p>Copyright</p><p>Credits</p>"),
              "Lens\nCopyright 2026 Us\nMade by us.");
    KPAboutBoxScrollView reordered;
    EXPECT_EQ(fill(reordered, "<p>Credits</p><p>Copyright, App: Version</p>"),
              "Made by us.\nCopyright 2026 Us, Lens: Version 2.1 (210)");
    KPAboutBoxScrollView none;
    EXPECT_EQ(fill(none, "<p>Nothing to fill</p>"), "Nothing to fill");
    // Filled to nothing at all: the template's text must not stay.
    ScopedMainBundle noCredits(kInfo, bundleFolderWithCredits(nullptr));
    KPAboutBoxScrollView empty;
    EXPECT_EQ(fill(empty, "Credits"), "");
}

TEST(AboutBoxText, EveryFillStartsFromTheTemplateTakenAtTheFirst) {
    ScopedMainBundle bundle(kInfo, bundleFolderWithCredits("<p>Made by us.</p>"));
    KPAboutBoxScrollView view;
    view.setHtml(kTemplate);
    view.setTextContainerInset(QSizeF(30, 40));
    KPAboutBoxController controller;
    controller.setTextView(&view);
    controller.updateText();
    const QString filled = view.toPlainText();
    view.setPlainText("App Version Copyright Credits, typed later");
    view.setTextContainerInset(QSizeF(30, 40));
    controller.updateText();
    EXPECT_EQ(view.toPlainText(), filled);
    EXPECT_EQ(view.textContainerInset(), QSizeF(30, 40));
}

TEST(AboutBoxText, TheFormFillsFromTheBundleCredits) {
    ScopedMainBundle bundle(kInfo);
    KPAboutBoxController controller;
    controller.window();
    const QStringList lines = controller.textView()->toPlainText().split(u'\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.mid(0, 3), (QStringList{"Lens", "Version 2.1 (210)", "Copyright 2026 Us"}));
    EXPECT_TRUE(lines.contains("Design and development"));
    EXPECT_FALSE(controller.textView()->toPlainText().contains("Credits"));
}

// No version keys: no "Version" line at all, not an empty one. Only the first, exactly
// cased occurrence of a placeholder word is replaced.
TEST(AboutBoxText, AnEmptyVersionLineIsLeftOutAndOnlyFirstExactPlaceholdersAreFilled) {
    ScopedMainBundle bundle({{Bundle::nameKey, "Lens"}}, bundleFolderWithCredits(nullptr));
    KPAboutBoxScrollView view;
    EXPECT_EQ(fill(view, kTemplate), "Lens\n\n") << "then the empty copyright and credits";
    EXPECT_EQ(fill(view, "<p>app</p><p>App</p><p>Version</p><p>App Copyright</p>"),
              "app\nLens\nApp ");

    ScopedMainBundle versioned(kInfo, bundleFolderWithCredits(nullptr));
    EXPECT_EQ(fill(view, "<p>version</p><p>App</p><p>Version</p><p>Copyright, Version</p>"),
              "version\nLens\nVersion 2.1 (210)\nCopyright 2026 Us, Version");
}

}  // namespace
}  // namespace talvex
