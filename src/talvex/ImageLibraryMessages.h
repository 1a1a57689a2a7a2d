#pragma once

// Holds back what the image libraries say while it lives, so that a damaged file is
// reported in one line of ours instead of several of theirs. Two roads are closed: the
// toolkit's messages from this thread (the image plug-ins warn through them), and
// whatever is written to standard error meanwhile (some decoders print there
// themselves before they give up). The first thing said is kept as the detail for our
// line.
//
// Standard error is the process's: hold it only on the one thread at work, briefly.
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <string>
#include <thread>

namespace talvex {

class ImageLibraryMessages {
public:
    ImageLibraryMessages();
    ~ImageLibraryMessages();
    ImageLibraryMessages(const ImageLibraryMessages&) = delete;
    ImageLibraryMessages& operator=(const ImageLibraryMessages&) = delete;

    // The first message held back, on one line; empty when nothing was said.
    std::string first();
    // `line`, followed by the first message in parentheses when there was one.
    std::string withDetail(const std::string& line);

private:
    static void hold(QtMsgType type, const QMessageLogContext& context, const QString& message);
    void releaseStandardError();

    static std::atomic<ImageLibraryMessages*> current_;
    std::thread::id owner_;
    QtMessageHandler previous_ = nullptr;
    QString first_;
    // Standard error's own descriptor while it points at `capture_`; -1 when not held.
    int saved_ = -1;
    int capture_ = -1;
};

}  // namespace talvex
