// One main for every test binary: a QApplication exists (offscreen unless a
// test binary is run against a real display), then GoogleTest runs.
#include <QApplication>
#include <QByteArray>
#include <gtest/gtest.h>

namespace {

// Under the sanitizer job (scripts/sanitize.sh), processes a test starts (the
// real zek, zekmml) write any sanitizer report into a file named after that
// test, so a report from a child whose exit nobody checks is still found and
// traced to its test.
class SanitizerReportsPerTest : public ::testing::EmptyTestEventListener {
public:
    explicit SanitizerReportsPerTest(QByteArray folder)
        : folder_(std::move(folder)), asan_(qgetenv("ASAN_OPTIONS")), ubsan_(qgetenv("UBSAN_OPTIONS")) {
        route(QByteArray("outside-any-test"));
    }
    void OnTestStart(const ::testing::TestInfo& info) override {
        route(QByteArray(info.test_suite_name()) + '.' + info.name());
    }

private:
    void route(QByteArray name) {
        name.replace('/', '_');
        const QByteArray path = folder_ + '/' + name;
        qputenv("ASAN_OPTIONS", asan_ + ":log_path=" + path + ".asan");
        qputenv("UBSAN_OPTIONS", ubsan_ + ":log_path=" + path + ".ubsan");
    }

    QByteArray folder_;
    QByteArray asan_;
    QByteArray ubsan_;
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (const QByteArray folder = qgetenv("ZEK_SANITIZER_LOG_DIR"); !folder.isEmpty())
        ::testing::UnitTest::GetInstance()->listeners().Append(new SanitizerReportsPerTest(folder));
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
