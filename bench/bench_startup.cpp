// Start to first frame, headless, with the sample catalogue installed: the
// time from starting `lattica` until its window has shown its first frame
// (LTA_EXIT_AFTER_FIRST_FRAME makes it leave then), median of 7 starts.
// Floor, measured the same way: this program showing an empty Qt Quick
// window. Target: under 0.5 s.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// Milliseconds from start to exit of each run; empty when a run failed.
std::vector<double> runs(const QString &program, const QStringList &args, const QProcessEnvironment &env, int n)
{
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return {};
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--floor") == 0) {
        QGuiApplication app(argc, argv);
        QQuickWindow window;
        window.resize(1024, 700);
        QObject::connect(&window, &QQuickWindow::frameSwapped, &app, [] { QCoreApplication::exit(0); },
                         Qt::QueuedConnection);
        window.show();
        return app.exec();
    }
    QCoreApplication app(argc, argv);
    // Never the real home: settings and data live in a throw-away folder.
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");
    env.insert("XDG_DATA_HOME", home.path() + "/data");
    env.insert("XDG_CACHE_HOME", home.path() + "/cache");
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_QUICK_BACKEND", "software");
    env.insert("LTA_EXIT_AFTER_FIRST_FRAME", "1");
    const QString bin = QStringLiteral(LTA_BINARY_DIR "/src/");
    QProcess install;
    install.setProcessEnvironment(env);
    install.start(bin + "lattica-cli", {"catalogue", "install", LTA_SOURCE_DIR "/data/catalogue"});
    if (!install.waitForFinished(60000) || install.exitCode() != 0) {
        std::fprintf(stderr, "could not install the sample catalogue\n");
        return 1;
    }
    runs(bin + "lattica", {}, env, 1);   // the first start builds the data folder
    const std::vector<double> started = runs(bin + "lattica", {}, env, 7);
    const std::vector<double> floor = runs(QCoreApplication::applicationFilePath(), {"--floor"}, env, 7);
    if (started.empty() || floor.empty()) {
        std::fprintf(stderr, "a start failed\n");
        return 1;
    }
    std::printf("start to first frame, headless (7 starts): median %.0f ms   floor %.0f ms (x%.2f)  [target: < 500 ms]\n",
                median(started), median(floor), median(started) / median(floor));
    return 0;
}
