#include "misura.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <sys/resource.h>
#include <cstdio>
#include <ctime>

namespace app {

namespace {

class PrimoDisegno final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* oggetto, QEvent* evento) override
    {
        if (evento->type() == QEvent::Paint && !fatto_) {
            fatto_ = true;
            // After this paint has reached the screen, not before.
            const QSize dimensione = static_cast<QWidget*>(oggetto)->size();
            QTimer::singleShot(0, this, [dimensione] {
                timespec t{};
                clock_gettime(CLOCK_REALTIME, &t);
                rusage uso{};
                getrusage(RUSAGE_SELF, &uso);
                std::printf("disegno %lld rss_kb %ld dimensione %d %d\n",
                            static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec, uso.ru_maxrss,
                            dimensione.width(), dimensione.height());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(oggetto, evento);
    }

private:
    bool fatto_ = false;
};

} // namespace

void misuraPrimoDisegno(QWidget* finestra)
{
    if (qEnvironmentVariableIsEmpty("PEMTARX_PRIMO_DISEGNO"))
        return;
    finestra->installEventFilter(new PrimoDisegno(finestra));
}

} // namespace app
