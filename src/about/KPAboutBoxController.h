#pragma once

// Owns the about box's window (the "KPAboutBox" form), fills its text from a template
// and shows it. The template is the text view's text as the form sets it, with the
// placeholder words "App", "Version", "Copyright" and "Credits"; it is taken at the
// first fill and every fill starts from it.
#include <QObject>
#include <QPointer>
#include <QTextDocumentFragment>
#include <memory>

class QLabel;

namespace Ui {
class KPAboutBox;
}

namespace talvex {

namespace about_internal {
class KPAboutBoxScrollView;
}

class KPAboutBoxController : public QObject {
    Q_OBJECT

public:
    KPAboutBoxController();
    ~KPAboutBoxController() override;

    // The about window, loaded from the form (and prepared) on the first call.
    QWidget* window();

    // Fills the text view from the template.
    void updateText();
    // Brings the window forward; a window that was not on screen is first scrolled to
    // the top of its text and centred, or put beside the application's always-on-top
    // windows where they would cover it (ClearPlacement).
    void showWindow();

    QLabel* iconView() const;
    about_internal::KPAboutBoxScrollView* textView() const;
    void setTextView(about_internal::KPAboutBoxScrollView* view);

private:
    std::unique_ptr<Ui::KPAboutBox> form_;
    std::unique_ptr<QWidget> window_;
    QPointer<QLabel> iconView_;
    QPointer<about_internal::KPAboutBoxScrollView> textView_;
    QTextDocumentFragment templateText_;

    void loadWindow();
    void windowDidLoad();
    void fitTextAreaToWindow();
    void showTextBelowIcon(int top);
    void centerWindow();
};

}  // namespace talvex
