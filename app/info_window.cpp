#include "app/info_window.h"

#include "app/version.h"

#include <QLabel>
#include <QPushButton>

TFormInfo::TFormInfo(QWidget* mainWindow, double scale)
    : QWidget(mainWindow, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                              Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      main_(mainWindow) {
    const auto s = [scale](int v) { return static_cast<int>(v * scale + 0.5); };
    setWindowTitle(QStringLiteral("  Info"));
    setFixedSize(s(252), s(247));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(s(13));
    setFont(font);

    Label1 = new QLabel(QStringLiteral("Mevrant"), this);
    QFont title(QStringLiteral("Arial"));
    title.setBold(true);
    title.setPixelSize(s(23));
    Label1->setFont(title);
    Label1->move(s(48), s(16));
    Label1->adjustSize();

    Label2 = new QLabel(QStringLiteral("Version  " MEVRANT_VERSION), this);
    Label2->move(s(96), s(56));
    Label2->adjustSize();

    const QStringList about = {QStringLiteral("Messwerte-Grafik für die serielle Schnittstelle"),
                               QStringLiteral("Das Mevrant-Entwicklerteam"), QStringLiteral("Berlin"),
                               QStringLiteral("https://mevrant.de")};
    int y = 96;
    for (const QString& line : about) {
        auto* label = new QLabel(line, this);
        label->setGeometry(s(8), s(y), s(236), s(18));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        y += 24;
    }

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setGeometry(s(96), s(208), s(75), s(25));
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    hide();
}

void TFormInfo::Button1Click() {
    hide();
}

void TFormInfo::ShowCentred() {
    if (main_) {
        const QRect frame = main_->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
}
