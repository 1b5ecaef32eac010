#include "app/info_window.h"

#include "app/version.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <vector>

TFormInfo::TFormInfo(QWidget* mainWindow, double scale)
    : QWidget(mainWindow, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                              Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      main_(mainWindow) {
    const auto s = [scale](int v) { return static_cast<int>(v * scale + 0.5); };
    setWindowTitle(QStringLiteral("  Info"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(s(13));
    setFont(font);
    const QStringList about = {tr("Messwerte-Grafik für die serielle Schnittstelle"),
                               tr("Das Mevrant-Entwicklerteam"), QStringLiteral("Berlin"),
                               QStringLiteral("https://mevrant.de")};
    // The design's width, or wider where the stand-in font runs wider than the design's: every line
    // is shown whole, and the rest stays centred in the wider window.
    std::vector<QLabel*> lines;
    int width = s(252);
    for (const QString& line : about) {
        lines.push_back(new QLabel(line, this));
        lines_.push_back(lines.back());
        width = std::max(width, lines.back()->sizeHint().width() + s(16));
    }
    const int shift = (width - s(252)) / 2;
    setFixedSize(width, s(247));

    Label1 = new QLabel(QStringLiteral("Mevrant"), this);
    QFont title(QStringLiteral("Arial"));
    title.setBold(true);
    title.setPixelSize(s(23));
    Label1->setFont(title);
    Label1->move(s(48) + shift, s(16));
    Label1->adjustSize();

    Label2 = new QLabel(QStringLiteral("Version  " MEVRANT_VERSION), this);
    Label2->move(s(96) + shift, s(56));
    Label2->adjustSize();

    int y = 96;
    for (QLabel* label : lines) {
        label->setGeometry(s(8), s(y), width - s(16), s(18));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        y += 24;
    }

    Button1 = new QPushButton(tr("Close"), this);
    // The style may want a push button wider than the design's 75 pixels for its caption.
    Button1->setGeometry(s(96) + shift, s(208), std::max(s(75), Button1->sizeHint().width()), s(25));
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    hide();
}

void TFormInfo::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange) {
        lines_[0]->setText(tr("Messwerte-Grafik für die serielle Schnittstelle"));
        lines_[1]->setText(tr("Das Mevrant-Entwicklerteam"));
        Button1->setText(tr("Close"));
    }
    QWidget::changeEvent(event);
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
