// A test run through a sound layer whose every take was spoilt on the way:
// it plays again, then gives up, and its files say what was played and
// how often.
#include "audio/fake_sound.h"
#include "audio/recorder.h"
#include "report/report_files.h"
#include "report/report_run.h"
#include "support/files.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace qelvar::report {
namespace {

TEST(ReportRun, ARefusedRunSaysWhatWasPlayedAndHowOften) {
    test::TempDir tmp;
    audio::FakeSound snd;
    snd.result = {audio::TakeResult::State::Failed, audio::kWhyLost};
    Signal s;
    s.samples.assign(2 * 4410, 0); // 0.1 s: the run waits its length each play
    ReportRun run(snd, tmp.path.string());
    run.setSignal(s);
    QEventLoop loop;
    QObject::connect(&run, &ReportRun::finished, &loop, &QEventLoop::quit);
    run.start();
    if (run.running())
        loop.exec();
    const Report& r = run.report();
    EXPECT_EQ(r.failure, audio::kWhyLost);
    int plays = 0;
    for (const auto& c : snd.calls)
        plays += c.kind == audio::FakeSound::Call::Play && c.flags == audio::kPlayOnce ? 1 : 0;
    EXPECT_EQ(plays, ReportRun::kAttempts);

    std::string error;
    const auto dir = tmp.path / "report";
    ASSERT_TRUE(writeReport(r, dir.string(), error)) << error;
    std::ifstream in(dir / "report.json");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const QJsonObject c =
        QJsonDocument::fromJson(QByteArray::fromStdString(text)).object()["conditions"].toObject();
    EXPECT_EQ(c["takes"].toInt(), ReportRun::kAttempts);
    EXPECT_EQ(c["bits"].toInt(), kSignalBits);
}

} // namespace
} // namespace qelvar::report
