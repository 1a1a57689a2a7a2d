#include "about/KPAboutBoxController.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QScreen>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <optional>
#include <variant>
#include <vector>

#include "about/ClearPlacement.h"
#include "about/KPAboutBox.h"
#include "about/KPAboutBoxScrollView.h"
#include "about/TextAreaFit.h"
#include "platform/Bundle.h"
#include "ui_KPAboutBox.h"

namespace talvex {

using about_internal::ClearPlacement;
using about_internal::KPAboutBoxScrollView;
using about_internal::TextAreaFit;

namespace {

// The first occurrence of a placeholder word in the text: [start, start + length).
struct Placeholder {
    int start = 0;
    int length = 0;
};

using ReplacementText = std::variant<QString, QTextDocumentFragment>;

struct Replacement {
    Placeholder at;
    ReplacementText text;
    // The placeholder's line goes as well when nothing takes its place.
    bool dropsEmptyLine = false;
};

// Plain, case-sensitive search for the first occurrence of `word`.
std::optional<Placeholder> findPlaceholder(const QTextDocument& text, const QString& word) {
    const QTextCursor found = text.find(word, 0, QTextDocument::FindCaseSensitively);
    if (found.isNull())
        return std::nullopt;
    return Placeholder{found.selectionStart(), found.selectionEnd() - found.selectionStart()};
}

QTextCursor selection(QTextDocument& text, const Placeholder& range) {
    QTextCursor cursor(&text);
    cursor.setPosition(range.start);
    cursor.setPosition(range.start + range.length, QTextCursor::KeepAnchor);
    return cursor;
}

// The character format of the character at `position`.
QTextCharFormat formatAt(QTextDocument& text, int position) {
    QTextCursor cursor(&text);
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

// The system font, regular or bold, at the size of the font at the range's first
// character.
QFont systemFontSizedAt(QTextDocument& text, const Placeholder& range, bool bold) {
    const QFont sized = formatAt(text, range.start).font().resolve(text.defaultFont());
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (sized.pointSizeF() > 0) {
        font.setPointSizeF(sized.pointSizeF());
    } else if (sized.pixelSize() > 0) {
        font.setPixelSize(sized.pixelSize());
    }
    font.setBold(bold);
    return font;
}

void setFont(QTextDocument& text, const Placeholder& range, const QFont& font) {
    QTextCharFormat format;
    format.setFont(font, QTextCharFormat::FontPropertiesAll);
    selection(text, range).mergeCharFormat(format);
}

// Removes the line (block) that `cursor` is in, with the break that joins it to its
// neighbour; the neighbour keeps its own paragraph format.
void removeLine(QTextCursor cursor) {
    const QTextBlock block = cursor.block();
    const int end = block.position() + block.length() - 1;
    if (block.previous().isValid()) {
        cursor.setPosition(block.position() - 1);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
    } else {
        cursor.setPosition(block.position());
        cursor.setPosition(std::min(end + 1, cursor.document()->characterCount() - 1),
                           QTextCursor::KeepAnchor);
    }
    cursor.removeSelectedText();
}

// A plain string takes the format of the first character it replaces; rich text keeps
// its own.
void replace(QTextDocument& text, const Replacement& replacement) {
    QTextCursor cursor = selection(text, replacement.at);
    if (const auto* plain = std::get_if<QString>(&replacement.text)) {
        cursor.insertText(*plain, formatAt(text, replacement.at.start));
        if (replacement.dropsEmptyLine && cursor.block().text().isEmpty())
            removeLine(cursor);
    } else if (const auto& rich = std::get<QTextDocumentFragment>(replacement.text);
               rich.isEmpty()) {
        cursor.removeSelectedText();
    } else {
        cursor.insertFragment(rich);
    }
}

// The credits document: encoding from its byte-order mark or <meta> charset (UTF-8 by
// default), the first "Lucida Grande" changed to "Helvetica Neue", parsed as HTML.
// Missing, unreadable or undecodable credits are empty.
QTextDocumentFragment readCredits() {
    const QString path =
        Bundle::main().pathForResource(QStringLiteral("Credits"), QStringLiteral("html"));
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringConverter::Utf8);
    QString html = decoder.decode(bytes);
    if (decoder.hasError())
        return {};
    const QString lucida = QStringLiteral("Lucida Grande");
    const qsizetype at = html.indexOf(lucida, 0, Qt::CaseSensitive);
    if (at >= 0)
        html.replace(at, lucida.size(), QStringLiteral("Helvetica Neue"));
    return QTextDocumentFragment::fromHtml(html);
}

// Drops every explicit text colour, so that the text view draws all text in its
// palette's text colour, light or dark, and follows later palette changes.
void useTextColorOfPalette(QTextDocument& text) {
    std::vector<Placeholder> coloured;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().hasProperty(QTextFormat::ForegroundBrush)) {
                coloured.push_back({fragment.position(), fragment.length()});
            }
        }
    }
    for (const Placeholder& range : coloured) {
        QTextCharFormat format = formatAt(text, range.start);
        format.clearForeground();
        selection(text, range).setCharFormat(format);
    }
}

// "Version 2.1 (210)"; with no version in the bundle, no line at all.
Replacement versionLine(const Placeholder& at) {
    const QString version = KPAboutBoxVersionString();
    if (version.isEmpty())
        return {at, QString(), true};
    return {at, QStringLiteral("Version %1").arg(version)};
}

}  // namespace

KPAboutBoxController::KPAboutBoxController() : form_(std::make_unique<Ui::KPAboutBox>()) {}

KPAboutBoxController::~KPAboutBoxController() = default;

QWidget* KPAboutBoxController::window() {
    if (!window_)
        loadWindow();
    return window_.get();
}

QLabel* KPAboutBoxController::iconView() const {
    return iconView_;
}

KPAboutBoxScrollView* KPAboutBoxController::textView() const {
    return textView_;
}

void KPAboutBoxController::setTextView(KPAboutBoxScrollView* view) {
    textView_ = view;
}

void KPAboutBoxController::updateText() {
    if (!textView_)
        return;
    // 1. The template, taken once.
    if (templateText_.isEmpty())
        templateText_ = QTextDocumentFragment(textView_->document());

    // 2. A working copy of the template and its placeholders.
    QTextDocument text;
    text.setDefaultFont(textView_->document()->defaultFont());
    QTextCursor(&text).insertFragment(templateText_);
    const auto app = findPlaceholder(text, QStringLiteral("App"));
    const auto version = findPlaceholder(text, QStringLiteral("Version"));
    const auto copyright = findPlaceholder(text, QStringLiteral("Copyright"));
    const auto credits = findPlaceholder(text, QStringLiteral("Credits"));

    // 3-4. What goes in.
    std::vector<Replacement> replacements;
    if (credits)
        replacements.push_back({*credits, readCredits()});
    if (copyright)
        replacements.push_back({*copyright, KPAboutBoxCopyrightString()});
    if (version)
        replacements.push_back(versionLine(*version));
    if (app)
        replacements.push_back({*app, KPAboutBoxApplicationName()});

    // 5-6. System fonts at the template's sizes.
    if (version)
        setFont(text, *version, systemFontSizedAt(text, *version, false));
    if (app)
        setFont(text, *app, systemFontSizedAt(text, *app, true));

    // 7. From the end towards the start, so that the earlier ranges stay valid whatever
    // order the template has its placeholders in.
    std::sort(replacements.begin(), replacements.end(),
              [](const Replacement& a, const Replacement& b) { return a.at.start > b.at.start; });
    for (const Replacement& replacement : replacements)
        replace(text, replacement);

    // 8. Text in the palette's colour.
    useTextColorOfPalette(text);

    // 9. Into the text view, keeping its inset.
    const QSizeF inset = textView_->textContainerInset();
    QTextCursor all(textView_->document());
    all.select(QTextCursor::Document);
    all.removeSelectedText();
    all.insertFragment(QTextDocumentFragment(&text));
    textView_->setTextContainerInset(inset);
    // A cursor left at the end would scroll the text there once it is laid out.
    textView_->setTextCursor(QTextCursor(textView_->document()));
}

void KPAboutBoxController::showWindow() {
    QWidget* shown = window();
    if (!shown->isVisible()) {
        if (textView_)
            textView_->scrollToPoint({0, 0});
        centerWindow();
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void KPAboutBoxController::windowDidLoad() {
    // The window manager draws the title bar on X11 and offers no transparent one, so
    // the content keeps the area below it and stays movable by its background views.
    updateText();
    fitTextAreaToWindow();
    if (textView_)
        textView_->scrollToPoint({0, 0});
}

void KPAboutBoxController::loadWindow() {
    window_ = std::make_unique<QWidget>();
    form_->setupUi(window_.get());
    iconView_ = form_->iconView;
    textView_ = form_->textView;
    window_->setAttribute(Qt::WA_QuitOnClose, false);
    window_->setWindowTitle(tr("About %1").arg(KPAboutBoxApplicationName()));
    windowDidLoad();
}

void KPAboutBoxController::fitTextAreaToWindow() {
    if (!textView_)
        return;
    QWidget* parent = textView_->parentWidget();
    const QPoint parentOrigin = parent ? parent->mapTo(window_.get(), QPoint(0, 0)) : QPoint();
    const QRect scroll = textView_->geometry().translated(parentOrigin);
    const QRect content = window_->rect();
    const QSizeF inset = textView_->textContainerInset();

    const TextAreaFit fit =
        TextAreaFit::compute(Rect(scroll.x(), scroll.y(), scroll.width(), scroll.height()),
                             Rect(content.x(), content.y(), content.width(), content.height()),
                             Size{inset.width(), inset.height()});

    const Rect& frame = fit.scrollFrame;
    textView_->setGeometry(QRectF(frame.x(), frame.y(), frame.width(), frame.height())
                               .toRect()
                               .translated(-parentOrigin));
    textView_->setTextContainerInset(QSizeF(fit.textInset.width, fit.textInset.height));
    showTextBelowIcon(std::max(scroll.top(), iconView_ ? iconView_->geometry().bottom() + 1 : 0));
}

// The text shows, and scrolls, only below `top` (window coordinates): the band above
// it, around the icon, is background, which shows through and takes the presses that
// move the window.
void KPAboutBoxController::showTextBelowIcon(int top) {
    const int topInView = textView_->mapFrom(window_.get(), QPoint(0, top)).y();
    textView_->setMask(QRegion(0, topInView, textView_->width(), textView_->height() - topInView));
}

// Centred on the screen the window is on (the primary screen at first), or beside the
// application's windows that stay on top where they would cover it.
void KPAboutBoxController::centerWindow() {
    const QScreen* screen = window_->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    std::vector<PixelRect> above;
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other != window_.get() && other->isVisible() &&
            other->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
            const QRect frame = other->frameGeometry();
            above.push_back({frame.x(), frame.y(), frame.width(), frame.height()});
        }
    }
    const QRect free = screen->availableGeometry();
    const QRect frame = window_->frameGeometry();
    const PixelRect place = ClearPlacement::compute(
        frame.width(), frame.height(), {free.x(), free.y(), free.width(), free.height()}, above);
    window_->move(place.x, place.y);
}

}  // namespace talvex
