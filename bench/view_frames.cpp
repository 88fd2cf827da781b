// Interface-thread frame times of the main view under scripted pans and
// zooms, in an offscreen window:
//
//     QT_QPA_PLATFORM=offscreen build/bench/view_frames [--rects N] FILE...
//
// For each file (and, with --rects, a generated document of N rectangles):
// loads it, fits it to a 1100 x 750 client area, waits until it is drawn,
// then drives 16 ms frames: a drag across the picture, zooms in about the
// centre with the wheel, a drag at that zoom, zooms back out. A frame's time
// is what the interface thread spends in it: the scripted input, the paint
// and whatever else the event loop handles (tiles arriving). Prints the
// median (of the scripted frames) and worst frame (of all) per file, and how long the picture took to be
// complete again after the script. VIEW_FRAMES_SCREENSHOTS=FOLDER saves the
// zoomed, dragged view of each file there as NAME.png; VIEW_FRAMES_DETAIL=1
// lists the frames over 16 ms.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <algorithm>
#include <ctime>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "app/vexo_doc.h"
#include "app/vexo_view.h"

namespace {

constexpr int kFrameMs = 16;
const QSize kClientSize(1100, 750);

// CPU time of the calling thread: on a shared machine the wall time of a
// frame includes waiting for a core, which the thread's own time leaves out.
double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Figures {
    std::vector<double> frameMs;
    std::vector<double> frameCpuMs;
    // What each frame did: the scripted step, or "" for waiting.
    std::vector<const char*> frameSteps;
    double settleMs = 0;
    // Frames of the script itself; those after it only wait for tiles.
    std::size_t scriptedFrames = 0;
};

class CFrameDriver {
public:
    explicit CFrameDriver(vexo::CVexoView& view) : view_(view) {}

    // Runs `step` (may be empty) and the event loop once, timed, then waits
    // for the rest of the frame.
    void Frame(const std::function<void()>& step, const char* label = "")
    {
        QElapsedTimer timer;
        timer.start();
        const double cpuStartMs = ThreadCpuMs();
        if (step)
            step();
        QCoreApplication::processEvents();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        figures_.frameMs.push_back(ms);
        figures_.frameCpuMs.push_back(ThreadCpuMs() - cpuStartMs);
        figures_.frameSteps.push_back(label);
        if (ms < kFrameMs)
            std::this_thread::sleep_for(std::chrono::microseconds(int((kFrameMs - ms) * 1000)));
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button)
    {
        QMouseEvent event(type, at, view_.viewport()->mapToGlobal(at), button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view_.viewport(), &event);
    }

    void Drag(QPoint from, QPoint by, int steps)
    {
        Frame([&] { Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton); }, "press");
        for (int i = 1; i <= steps; ++i)
            Frame([&] { Mouse(QEvent::MouseMove, from + by * i / steps, Qt::NoButton); }, "drag");
        Frame([&] { Mouse(QEvent::MouseButtonRelease, from + by, Qt::LeftButton); }, "release");
    }

    void Wheel(QPoint at, int notches)
    {
        Frame([&] {
            QWheelEvent event(at, view_.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view_.viewport(), &event);
        }, "wheel");
    }

    void Script()
    {
        const QPoint centre(kClientSize.width() / 2, kClientSize.height() / 2);
        Drag(centre, QPoint(300, 150), 30);
        Drag(centre, QPoint(-300, -150), 30);
        for (int i = 0; i < 4; ++i) {
            Wheel(centre, 1);
            for (int k = 0; k < 3; ++k)
                Frame({});
        }
        Drag(centre, QPoint(-400, 200), 40);
        SaveScreenshot();
        for (int i = 0; i < 4; ++i) {
            Wheel(centre, -1);
            for (int k = 0; k < 3; ++k)
                Frame({});
        }
        figures_.scriptedFrames = figures_.frameMs.size();
        QElapsedTimer settle;
        settle.start();
        while (!view_.Drawn() && settle.elapsed() < 120000)
            Frame({});
        figures_.settleMs = double(settle.elapsed());
    }

    const Figures& Result() const { return figures_; }
    QString screenshotPath;

private:
    // With a path: the zoomed, dragged view once drawn (outside the timing).
    void SaveScreenshot()
    {
        if (screenshotPath.isEmpty())
            return;
        QElapsedTimer waited;
        waited.start();
        while (!view_.Drawn() && waited.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        view_.grab().save(screenshotPath);
    }

public:

private:
    vexo::CVexoView& view_;
    Figures figures_;
};

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

void Measure(vexo::CVexoDoc& doc, vexo::CVexoView& view, const QString& path, const QString& label)
{
    doc.Open(path);
    doc.WaitForLoad();
    view.FitWindow();
    while (!view.Drawn())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    CFrameDriver driver(view);
    if (const QString folder = qEnvironmentVariable("VIEW_FRAMES_SCREENSHOTS"); !folder.isEmpty())
        driver.screenshotPath = folder + QLatin1Char('/') + QFileInfo(path).completeBaseName() + QStringLiteral(".png");
    driver.Script();
    const Figures& figures = driver.Result();
    // The median over the scripted frames; the worst over every frame.
    const auto scripted = [&figures](const std::vector<double>& all) {
        return std::vector<double>(all.begin(), all.begin() + std::ptrdiff_t(figures.scriptedFrames));
    };
    std::printf("%-40s frames %4zu  wall: median %5.1f ms worst %5.1f ms  cpu: median %5.1f ms worst %5.1f ms  "
                "complete after %6.0f ms\n",
                qPrintable(label), figures.frameMs.size(), Percentile(scripted(figures.frameMs), 0.5),
                Percentile(figures.frameMs, 1.0), Percentile(scripted(figures.frameCpuMs), 0.5),
                Percentile(figures.frameCpuMs, 1.0), figures.settleMs);
    // The slowest frames, with what they did, for finding the cause.
    if (qEnvironmentVariableIsSet("VIEW_FRAMES_DETAIL"))
        for (std::size_t i = 0; i < figures.frameMs.size(); ++i)
            if (figures.frameMs[i] > 16)
                std::printf("    frame %zu (%s): %.1f ms, cpu %.1f ms\n", i, figures.frameSteps[i], figures.frameMs[i],
                            figures.frameCpuMs[i]);
    std::fflush(stdout);
}

QByteArray Rects(int count)
{
    QByteArray text = "<svg xmlns='http://www.w3.org/2000/svg' width='3000' height='2000'>";
    for (int i = 0; i < count; ++i)
        text += "<rect x='" + QByteArray::number((i * 7) % 2990) + "' y='" + QByteArray::number((i * 13) % 1990) +
                "' width='10' height='10' fill='#" + QByteArray::number(0x100000 + (i * 2654435761u) % 0xEFFFFF, 16) +
                "'/>";
    return text + "</svg>";
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    vexo::CSettings settings(dir.filePath(QStringLiteral("vexo.ini")));
    vexo::CVexoDoc doc(settings);
    vexo::CVexoView view(doc);
    view.resize(kClientSize + (view.size() - view.viewport()->size()));
    view.show();
    QCoreApplication::processEvents();

    QStringList args = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rects") && i + 1 < args.size()) {
            const int count = args[++i].toInt();
            const QString path = dir.filePath(QStringLiteral("rects.svg"));
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(Rects(count)) < 0)
                return 1;
            file.close();
            Measure(doc, view, path, QStringLiteral("%1 rectangles").arg(count));
            continue;
        }
        Measure(doc, view, args[i], QFileInfo(args[i]).fileName());
    }
    return 0;
}
