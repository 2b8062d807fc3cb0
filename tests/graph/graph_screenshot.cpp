// Fills the live graph from the simulated analyser in virtual time, as a few minutes of
// polling would, and saves a picture of the window: graph_screenshot OUT.png [WIDTH HEIGHT [TICKS]]
#include "livegraph.h"
#include "operator.h"
#include "simdevice.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

using namespace qova;

namespace {
class QuietOperator final : public ui::Operator {
public:
    ui::Answer message(QWidget *, const QString &, const QString &text, ui::Icon, ui::Buttons, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return ui::Answer::Ok;
    }
    QString openFileName(QWidget *, const ui::FileRequest &) override { return {}; }
    QString saveFileName(QWidget *, const ui::FileRequest &) override { return {}; }
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: graph_screenshot OUT.png [WIDTH HEIGHT [TICKS]]\n");
        return 2;
    }
    const int width = args.size() > 3 ? args[2].toInt() : 1280;
    const int height = args.size() > 3 ? args[3].toInt() : 1024;
    const int ticks = args.size() > 4 ? args[4].toInt() : 300;

    link::VirtualPause clock;
    QuietOperator op;
    ui::SharedState state([&clock](int) { return sim::MakeDemoDevice(clock); }, clock, op);
    display::TForm3 form(state);
    if (!form.FormShow())
        return 1;
    form.resize(width, height);
    form.show();
    for (int i = 0; i < ticks; ++i) {
        clock.sleepMs(form.pollInterval());
        state.session.cycle();
    }
    QApplication::processEvents();
    const bool saved = form.grab().save(args[1]);
    std::printf("%d ticks every %d ms (%.1f minutes of readings); graph %dx%d\n", ticks, form.pollInterval(),
                ticks * form.pollInterval() / 60000.0, form.PerformanceGraph1->width(),
                form.PerformanceGraph1->height());
    form.FormClose();
    return saved ? 0 : 1;
}
