#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <atomic>
#include <barrier>
#include <cstdint>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "platform/AtomicFileWriter.h"
#include "platform/DefaultsFile.h"
#include "platform/DefaultsFileWatcher.h"
#include "platform/UniqueFd.h"
#include "platform/UserDefaults.h"
#include "support/SmallFileSystem.h"
#include "support/TestEnvironment.h"

namespace talvex {
namespace {

namespace fs = std::filesystem;

// Records the changes one store signals, for as long as it lives.
class ChangeCounter {
public:
    using Change = std::pair<std::string, std::int64_t>;

    explicit ChangeCounter(const UserDefaults& store) {
        connection_ = QObject::connect(&store, &UserDefaults::valueChanged,
                                       [this](const QString& key, qint64 value) {
                                           std::lock_guard lock(mutex_);
                                           changes_.emplace_back(key.toStdString(), value);
                                           ++count;
                                       });
    }
    ~ChangeCounter() { QObject::disconnect(connection_); }
    std::atomic<int> count{0};
    std::vector<Change> changesSince(int first) {
        std::lock_guard lock(mutex_);
        return {changes_.begin() + first, changes_.end()};
    }

private:
    QMetaObject::Connection connection_;
    std::mutex mutex_;
    std::vector<Change> changes_;
};

fs::path freshSettingsPath() {
    return test::makeTempDir("defaults") / "Talvex" / "defaults.json";
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

DefaultsFile::Contents parseFile(const fs::path& p) {
    auto contents = DefaultsFile::parse(QByteArray::fromStdString(readText(p)), nullptr);
    EXPECT_TRUE(contents.has_value()) << readText(p);
    return contents.value_or(DefaultsFile::Contents{});
}

// Waits until the file holds exactly `values`; false when it never does.
bool waitUntilFileHolds(const fs::path& p,
                        const std::map<std::string, UserDefaults::Value>& values) {
    return test::waitUntil([&] {
        auto onDisk = DefaultsFile::parse(QByteArray::fromStdString(readText(p)), nullptr);
        return onDisk && onDisk->values == values;
    });
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

int lineCount(const std::string& text) {
    return int(std::count(text.begin(), text.end(), '\n'));
}

// Runs the helper program as a second process; returns its standard output.
std::string runTool(const QStringList& args) {
    QProcess tool;
    tool.start(QStringLiteral(TALVEX_DEFAULTS_TOOL), args);
    EXPECT_TRUE(tool.waitForFinished(10000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    return tool.readAllStandardOutput().trimmed().toStdString();
}

QString q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

TEST(UserDefaults, EveryWriteSignalsTheValueInForceEvenWhenUnchanged) {
    UserDefaults store(freshSettingsPath());
    store.registerDefaults({{"RefreshSpeed", true}});
    ChangeCounter changes(store);
    store.setIntegerForKey(5, "RefreshSpeed");
    store.setIntegerForKey(5, "RefreshSpeed");
    store.removeObjectForKey("RefreshSpeed");
    store.removeObjectForKey("RefreshSpeed");
    using Changes = std::vector<ChangeCounter::Change>;
    EXPECT_EQ(
        changes.changesSince(0),
        (Changes{
            {"RefreshSpeed", 5}, {"RefreshSpeed", 5}, {"RefreshSpeed", 1}, {"RefreshSpeed", 1}}));
}

TEST(UserDefaults, RegisteredDefaultsAnswerUntilSomethingIsStoredAndAreNeverWritten) {
    const fs::path path = freshSettingsPath();
    UserDefaults store(path);
    store.registerDefaults({{"TalvexsEnabled", true}, {"Off", false}, {"Four", std::int64_t{4}}});
    EXPECT_EQ(store.integerForKey("TalvexsEnabled"), 1);
    EXPECT_EQ(store.integerForKey("Off"), 0);
    EXPECT_EQ(store.integerForKey("Four"), 4);
    EXPECT_EQ(store.integerForKey("Absent"), 0);
    EXPECT_FALSE(fs::exists(path));

    store.setIntegerForKey(0, "TalvexsEnabled");
    EXPECT_EQ(store.integerForKey("TalvexsEnabled"), 0);
    store.setIntegerForKey(2, "Other");
    store.flush();
    const auto onDisk = parseFile(path);
    EXPECT_EQ(onDisk.values.size(), 2u);
    EXPECT_EQ(onDisk.values.count("Off") + onDisk.values.count("Four"), 0u);

    store.removeObjectForKey("TalvexsEnabled");
    EXPECT_EQ(store.integerForKey("TalvexsEnabled"), 1);
    store.flush();
    EXPECT_EQ(parseFile(path).values.count("TalvexsEnabled"), 0u);
}

TEST(UserDefaults, IntegersRoundTripExactlyThroughTheFile) {
    const fs::path path = freshSettingsPath();
    const std::vector<std::int64_t> values = {7, -3, 4294967296LL,
                                              std::numeric_limits<std::int64_t>::max(),
                                              std::numeric_limits<std::int64_t>::min()};
    {
        UserDefaults store(path);
        for (size_t i = 0; i < values.size(); ++i)
            store.setIntegerForKey(values[i], "K" + std::to_string(i));
    }
    UserDefaults reopened(path);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(reopened.integerForKey("K" + std::to_string(i)), values[i]) << i;
}

TEST(UserDefaults, ValuesOfOtherTypesReadAsZeroAndSurviveLaterSaves) {
    const fs::path path = freshSettingsPath();
    writeText(path, R"({"RefreshSpeed": "fast", "ViewArea": 1.5, "Extra": {"a": [1, 2]},
                        "TalvexsEnabled": true, "Whole": 2.0})");
    UserDefaults store(path);
    store.registerDefaults({{"RefreshSpeed", std::int64_t{1}}});
    EXPECT_EQ(store.integerForKey("RefreshSpeed"), 0);  // the string hides the registered 1
    EXPECT_EQ(store.integerForKey("ViewArea"), 0);
    EXPECT_EQ(store.integerForKey("TalvexsEnabled"), 1);
    EXPECT_EQ(store.integerForKey("Whole"), 2);
    EXPECT_FALSE(store.persistentValueForKey("RefreshSpeed").has_value());

    store.setIntegerForKey(0, "GreenStripesEnabled");
    store.flush();
    auto onDisk = parseFile(path);
    EXPECT_EQ(onDisk.otherValues.at("RefreshSpeed").toString(), "fast");
    EXPECT_EQ(onDisk.otherValues.at("ViewArea").toDouble(), 1.5);
    EXPECT_EQ(onDisk.otherValues.at("Extra").toObject().value("a").toArray().size(), 2);

    store.setIntegerForKey(-1, "RefreshSpeed");
    store.flush();
    onDisk = parseFile(path);
    EXPECT_EQ(onDisk.otherValues.count("RefreshSpeed"), 0u);
    EXPECT_EQ(std::get<std::int64_t>(onDisk.values.at("RefreshSpeed")), -1);
}

TEST(UserDefaults, DamagedFileIsSetAsideAndTheDefaultsUsed) {
    // A file over the size limit counts as damaged however well-formed, and is not read.
    const std::string oversized =
        R"({"RefreshSpeed": 1, "Padding": ")" + std::string(1 << 20, 'x') + R"("})";
    for (const std::string& damaged :
         {std::string(R"({"RefreshSpeed": 1, "ViewArea": )"), oversized}) {
        SCOPED_TRACE(damaged.size());
        const fs::path path = freshSettingsPath();
        writeText(path, damaged);

        testing::internal::CaptureStderr();
        UserDefaults store(path);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(lineCount(log), 1) << log;
        EXPECT_NE(log.find(path.string()), std::string::npos) << log;
        EXPECT_EQ(store.integerForKey("RefreshSpeed"), 0);

        const auto entries = folderEntries(path.parent_path());
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].rfind("defaults.json.corrupt-", 0), 0u) << entries[0];
        EXPECT_TRUE(readText(path.parent_path() / entries[0]) == damaged);

        store.setIntegerForKey(-1, "RefreshSpeed");
        store.flush();
        EXPECT_EQ(UserDefaults(path).integerForKey("RefreshSpeed"), -1);
        EXPECT_TRUE(readText(path.parent_path() / entries[0]) == damaged);
    }
}

TEST(UserDefaults, WhatIsSavedStaysWithinTheSizeLimitSoItIsNeverSetAsideAgain) {
    // A long list, well within the limit, that indentation would carry past it.
    const fs::path path = freshSettingsPath();
    QJsonArray list;
    for (int i = 0; i < 120000; ++i)
        list.append(i % 10);
    writeText(
        path,
        QJsonDocument(QJsonObject{{"List", list}}).toJson(QJsonDocument::Compact).toStdString());
    UserDefaults store(path);
    store.setIntegerForKey(1, "ViewArea");
    store.flush();
    EXPECT_LE(std::int64_t(fs::file_size(path)), DefaultsFile::maxFileSize);
    EXPECT_EQ(parseFile(path).otherValues.at("List").toArray().size(), 120000);
    EXPECT_FALSE(test::waitUntil([&] { return folderEntries(path.parent_path()).size() > 1; },
                                 3 * DefaultsFileWatcher::stableMilliseconds));

    // Numbers that are written longer than they were read: even compact, too large.
    const fs::path grows = freshSettingsPath();
    std::string numbers = R"({"Numbers": [1e9)";
    for (int i = 0; i < 200000; ++i)
        numbers += ",1e9";
    numbers += "]}";
    writeText(grows, numbers);
    UserDefaults growing(grows);
    testing::internal::CaptureStderr();
    growing.setIntegerForKey(1, "ViewArea");
    growing.flush();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_EQ(growing.integerForKey("ViewArea"), 1);
    EXPECT_TRUE(readText(grows) == numbers);
}

TEST(UserDefaults, AnythingButARegularFileIsRefusedWithOneLineAndNeverWaitedFor) {
    // A FIFO at the path, a link to one, and one put there while running: opening it
    // would wait for a writer, and replacing it would destroy the node.
    for (const std::string setup : {"at start", "linked", "while running"}) {
        SCOPED_TRACE(setup);
        const fs::path path = freshSettingsPath();
        const fs::path fifo = setup == "linked" ? path.parent_path() / "elsewhere" : path;
        std::unique_ptr<UserDefaults> store;
        if (setup == "while running") {
            store = std::make_unique<UserDefaults>(path);
            store->setIntegerForKey(-1, "RefreshSpeed");
            store->flush();
            fs::remove(path);
        }
        fs::create_directories(path.parent_path());
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        if (setup == "linked")
            fs::create_symlink(fifo, path);

        testing::internal::CaptureStderr();
        if (!store)
            store = std::make_unique<UserDefaults>(path);
        store->setIntegerForKey(1, "ViewArea");
        store->flush();
        EXPECT_FALSE(test::waitUntil([&] { return store->integerForKey("ViewArea") != 1; }, 300));
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(lineCount(log), 1) << log;
        EXPECT_NE(log.find("FIFO"), std::string::npos) << log;
        EXPECT_TRUE(fs::is_fifo(fifo));
        std::string why;
        EXPECT_FALSE(AtomicFileWriter(path).write("{}", &why));
        EXPECT_TRUE(fs::is_fifo(fifo));
    }
}

TEST(UserDefaults, EmptiedFileIsAnEditUnderWayThatNeitherResetsNorSwallowsChanges) {
    // Empty at start: no edit is under way, a change is saved at once.
    const fs::path path = freshSettingsPath();
    writeText(path, "");
    auto store = std::make_unique<UserDefaults>(path);
    store->setIntegerForKey(-1, "RefreshSpeed");
    store->flush();
    EXPECT_EQ(runTool({q(path), "get", "RefreshSpeed"}), "-1");

    // Emptied, a long pause, then written: the session keeps its settings meanwhile, and
    // a change made in the pause is merged with the finished edit.
    QProcess writer;
    writer.start(
        QStringLiteral(TALVEX_DEFAULTS_TOOL),
        {q(path), "write-in-two-parts", R"({"RefreshSpeed": 1, "ViewArea": 1})", "1500", "0"});
    EXPECT_TRUE(test::waitUntil([&] { return readText(path).empty(); }));
    EXPECT_FALSE(test::waitUntil([&] { return store->integerForKey("RefreshSpeed") != -1; }, 800));
    store->setIntegerForKey(1, "GreenStripesEnabled");
    EXPECT_TRUE(writer.waitForFinished(5000));
    const std::map<std::string, UserDefaults::Value> merged = {
        {"RefreshSpeed", std::int64_t{1}},
        {"ViewArea", std::int64_t{1}},
        {"GreenStripesEnabled", std::int64_t{1}}};
    EXPECT_TRUE(waitUntilFileHolds(path, merged)) << readText(path);
    EXPECT_EQ(store->integerForKey("ViewArea"), 1);

    // Emptied and left so: a change is saved once that has lasted, and still merged with
    // what a writer holding the file writes later; or it is saved as the store goes.
    writer.start(QStringLiteral(TALVEX_DEFAULTS_TOOL),
                 {q(path), "write-in-two-parts", R"({"ViewArea": 4})", "1000", "0"});
    EXPECT_TRUE(test::waitUntil([&] { return readText(path).empty(); }));
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(1));
    store->setIntegerForKey(2, "RefreshSpeed");
    store->flush();
    EXPECT_EQ(runTool({q(path), "get", "RefreshSpeed"}), "2");
    EXPECT_TRUE(writer.waitForFinished(5000));
    const std::map<std::string, UserDefaults::Value> late = {{"RefreshSpeed", std::int64_t{2}},
                                                             {"ViewArea", std::int64_t{4}}};
    EXPECT_TRUE(waitUntilFileHolds(path, late)) << readText(path);
    EXPECT_EQ(store->integerForKey("ViewArea"), 4);
    writeText(path, "");
    store->setIntegerForKey(3, "ViewArea");
    store.reset();
    EXPECT_EQ(runTool({q(path), "get", "ViewArea"}), "3");
}

TEST(UserDefaults, TemporaryFilesLeftByAnInterruptedSaveAreRemovedAtStart) {
    const fs::path path = freshSettingsPath();
    writeText(path, R"({"ViewArea": 1})");
    writeText(path.string() + ".tmp-123", R"({"ViewArea": 0})");  // its save was killed
    writeText(path.string() + ".tmp-456", "{");                   // another save still writes
    writeText(path.string() + ".tmp-notes", "");                  // not ours
    UniqueFd inFlight(::open((path.string() + ".tmp-456").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(inFlight.get(), LOCK_EX), 0);

    UserDefaults store(path);
    EXPECT_EQ(folderEntries(path.parent_path()),
              (std::vector<std::string>{"defaults.json", "defaults.json.tmp-456",
                                        "defaults.json.tmp-notes"}));
    EXPECT_EQ(store.integerForKey("ViewArea"), 1);
}

TEST(UserDefaults, FailedSaveLogsOneLineAndKeepsTheValueInForce) {
    const fs::path blocker = test::makeTempDir("defaults") / "not-a-folder";
    writeText(blocker, "x");
    UserDefaults store(blocker / "defaults.json");
    ChangeCounter changes(store);

    testing::internal::CaptureStderr();
    store.setIntegerForKey(1, "ViewArea");
    store.flush();
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_EQ(store.integerForKey("ViewArea"), 1);
    EXPECT_EQ(changes.count, 1);
}

TEST(UserDefaults, SaveOnAFullDiskKeepsTheOldFileAndTheValueInMemory) {
    test::SmallFileSystem disk;
    TALVEX_REQUIRE_SMALL_FILE_SYSTEM(disk);
    const fs::path path = disk.root() / "Talvex" / "defaults.json";
    UserDefaults store(path);
    store.setIntegerForKey(-1, "RefreshSpeed");
    store.flush();
    const std::string before = readText(path);
    ASSERT_TRUE(disk.fill());

    testing::internal::CaptureStderr();
    store.setIntegerForKey(1, "RefreshSpeed");
    store.flush();
    store.reloadFromDisk();  // what the watcher does after the failed attempt
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_NE(log.find(path.string()), std::string::npos) << log;
    EXPECT_EQ(readText(path), before);
    EXPECT_EQ(folderEntries(path.parent_path()), std::vector<std::string>{"defaults.json"});
    EXPECT_EQ(store.integerForKey("RefreshSpeed"), 1);

    disk.drain();
    store.setIntegerForKey(2, "ViewArea");
    store.flush();
    EXPECT_EQ(parseFile(path).values,
              (std::map<std::string, UserDefaults::Value>{{"RefreshSpeed", std::int64_t{1}},
                                                          {"ViewArea", std::int64_t{2}}}));
}

TEST(UserDefaults, ChangesFromAnotherProcessAreAdoptedAndAnnounced) {
    const fs::path path = freshSettingsPath();
    UserDefaults store(path);
    store.setIntegerForKey(0, "RefreshSpeed");
    store.flush();
    ChangeCounter changes(store);

    // Two atomic saves in a row: the watch must follow the replaced file.
    runTool({q(path), "set", "RefreshSpeed", "1"});
    EXPECT_TRUE(test::waitUntil([&] { return store.integerForKey("RefreshSpeed") == 1; }));
    EXPECT_TRUE(test::waitUntil([&] { return changes.count >= 1; }));
    runTool({q(path), "set", "RefreshSpeed", "-1"});
    EXPECT_TRUE(test::waitUntil([&] { return store.integerForKey("RefreshSpeed") == -1; }));

    // A hand edit rewriting the file in place: each key whose value changed, once.
    const int before = changes.count;
    writeText(path, R"({"RefreshSpeed": 7, "ViewArea": 1, "Other": "text"})");
    EXPECT_TRUE(test::waitUntil([&] { return store.integerForKey("RefreshSpeed") == 7; }));
    using Changes = std::vector<ChangeCounter::Change>;
    EXPECT_EQ(changes.changesSince(before), (Changes{{"RefreshSpeed", 7}, {"ViewArea", 1}}));
    writeText(path, R"({"RefreshSpeed": 7})");
    EXPECT_TRUE(test::waitUntil([&] { return store.integerForKey("ViewArea") == 0; }));
    EXPECT_EQ(changes.changesSince(before + 2), (Changes{{"ViewArea", 0}}));

    // Our own saves are announced once, by the write itself, not again by the watcher.
    const int settled = changes.count;
    store.setIntegerForKey(4294967296LL, "ViewArea");
    test::waitUntil([] { return false; }, 300);
    EXPECT_EQ(changes.count, settled + 1);
    store.flush();
    EXPECT_EQ(runTool({q(path), "get", "ViewArea"}), "4294967296");
    EXPECT_EQ(runTool({q(path), "get", "RefreshSpeed"}), "7");
}

TEST(UserDefaults, OutsideEditWrittenInTwoPartsIsWaitedForAndMergedWithSessionChanges) {
    const fs::path path = freshSettingsPath();
    UserDefaults store(path);
    store.setIntegerForKey(-1, "RefreshSpeed");
    store.flush();

    testing::internal::CaptureStderr();
    const std::string edit = R"({"RefreshSpeed": 7, "ViewArea": 1})";
    QProcess writer;
    writer.start(QStringLiteral(TALVEX_DEFAULTS_TOOL),
                 {q(path), "write-in-two-parts", QString::fromStdString(edit), "300"});
    // The user changes a setting while the edit is (most likely) half written.
    EXPECT_TRUE(test::waitUntil([&] {
        const std::string text = readText(path);
        return text == edit.substr(0, edit.size() / 2) || text == edit;
    }));
    store.setIntegerForKey(1, "GreenStripesEnabled");
    EXPECT_TRUE(test::waitUntil([&] { return writer.state() == QProcess::NotRunning; }));

    const std::map<std::string, UserDefaults::Value> merged = {
        {"RefreshSpeed", std::int64_t{7}},
        {"ViewArea", std::int64_t{1}},
        {"GreenStripesEnabled", std::int64_t{1}}};
    EXPECT_TRUE(waitUntilFileHolds(path, merged)) << readText(path);
    EXPECT_EQ(store.integerForKey("RefreshSpeed"), 7);
    EXPECT_EQ(store.integerForKey("ViewArea"), 1);
    EXPECT_EQ(store.integerForKey("GreenStripesEnabled"), 1);
    EXPECT_EQ(folderEntries(path.parent_path()), std::vector<std::string>{"defaults.json"});
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "");
}

TEST(UserDefaults, StoreCreatedOnAnotherThreadWatchesFromTheMainThread) {
    const fs::path path = freshSettingsPath();
    std::unique_ptr<UserDefaults> store;
    std::thread([&] { store = std::make_unique<UserDefaults>(path); }).join();
    test::waitUntil([] { return false; }, 100);  // lets the main thread set up the watch
    writeText(path, R"({"ViewArea": 1})");
    EXPECT_TRUE(test::waitUntil([&] { return store->integerForKey("ViewArea") == 1; }));
}

TEST(UserDefaults, FileDamagedWhileRunningIsSetAsideAndRewrittenFromTheSettingsInForce) {
    const fs::path path = freshSettingsPath();
    UserDefaults store(path);
    store.setIntegerForKey(-1, "RefreshSpeed");
    store.flush();

    testing::internal::CaptureStderr();
    writeText(path, "{ half a hand edit");
    const bool rewritten =
        test::waitUntil([&] { return folderEntries(path.parent_path()).size() == 2; });
    const std::string log = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(rewritten);
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_EQ(store.integerForKey("RefreshSpeed"), -1);
    EXPECT_TRUE(test::waitUntil([&] { return fs::exists(path); }));
    EXPECT_EQ(std::get<std::int64_t>(parseFile(path).values.at("RefreshSpeed")), -1);
}

TEST(UserDefaultsThreaded, SettingsFileIsNeverEmptyOrPartialWhileSaving) {
    const fs::path path = freshSettingsPath();
    UserDefaults store(path);
    store.setIntegerForKey(0, "Counter");
    store.flush();

    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, bad{0};
    std::thread reader([&] {
        while (!done) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream s;
            s << in.rdbuf();
            const QByteArray bytes = QByteArray::fromStdString(s.str());
            auto contents = DefaultsFile::parse(bytes, nullptr);
            if (!contents || !contents->values.count("Counter"))
                ++bad;
            ++reads;
        }
    });
    for (int i = 1; i <= 200; ++i) {
        store.setIntegerForKey(i * 1000003LL, "Counter");
        store.flush();
    }
    done = true;
    reader.join();

    EXPECT_GT(reads, 0);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(folderEntries(path.parent_path()), std::vector<std::string>{"defaults.json"});
}

TEST(UserDefaultsThreaded, AStoreStartingMeanwhileNeverRemovesTheFileOfASaveUnderWay) {
    // Each store clears away the temporary files of interrupted saves as it starts.
    const fs::path path = freshSettingsPath();
    writeText(path, "{}");
    const AtomicFileWriter writer(path);
    std::atomic<bool> done{false};
    std::thread starting([&] {
        while (!done)
            writer.removeStaleTemporaries();
    });
    int failed = 0;
    std::string why;
    for (int i = 0; i < 100; ++i)
        failed += writer.write("{}", &why) ? 0 : 1;
    done = true;
    starting.join();
    EXPECT_EQ(failed, 0) << why;
}

TEST(UserDefaultsThreaded, ReadsWhileWritingAndConcurrentWritersLeaveTheLatestStateOnDisk) {
    const fs::path path = freshSettingsPath();
    UserDefaults store(path);
    store.registerDefaults({{"TalvexsEnabled", true}});
    constexpr int rounds = 40;

    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    std::thread reader([&] {
        while (!done) {
            const auto v = store.integerForKey("TalvexsEnabled");
            if (v < 1 || v > rounds)
                ++unexpected;
        }
    });
    // Each round both threads write at the same moment; once both writes have returned,
    // a flush leaves both values in the file, whichever save reached the disk last.
    std::barrier sync(2);
    std::thread otherWriter([&] {
        for (int r = 1; r <= rounds; ++r) {
            sync.arrive_and_wait();
            store.setIntegerForKey(r, "GreenStripesEnabled");
            sync.arrive_and_wait();
            sync.arrive_and_wait();
        }
    });
    int staleFiles = 0;
    for (int r = 1; r <= rounds; ++r) {
        sync.arrive_and_wait();
        store.setIntegerForKey(r, "TalvexsEnabled");
        sync.arrive_and_wait();
        store.flush();
        const auto onDisk = parseFile(path).values;
        if (onDisk.at("TalvexsEnabled") != UserDefaults::Value(std::int64_t{r}) ||
            onDisk.at("GreenStripesEnabled") != UserDefaults::Value(std::int64_t{r}))
            ++staleFiles;
        sync.arrive_and_wait();
    }
    otherWriter.join();
    done = true;
    reader.join();

    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(staleFiles, 0);
}

}  // namespace
}  // namespace talvex
