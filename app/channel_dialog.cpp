#include "app/channel_dialog.h"
#include "chart/gfx/canvas.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
void PaintSwatch(QPushButton& b, TColor c) {
    QPixmap swatch(28, 12);
    swatch.fill(QColor(Canvas::ToRgb(c)));
    b.setIcon(QIcon(swatch));
    b.setIconSize(swatch.size());
}
} // namespace

ChannelDialog::ChannelDialog(QWidget* parent, const std::vector<ChannelSetting>& rows,
                             const std::vector<QString>& deviceNames, int trail)
    : QDialog(parent), table_(new QTableWidget(static_cast<int>(rows.size()), cColumns, this)),
      trail_(new QSpinBox(this)) {
    setWindowTitle(tr("Kanäle"));
    table_->setHorizontalHeaderLabels({tr("Vom Gerät"), tr("Name"), tr("Einheit"), tr("Skalierungsfaktor"),
                                       tr("Offset"), tr("Farbe"), tr("Anzeigen"), tr("Achse")});
    QStringList numbers;
    for (std::size_t i = 0; i < rows.size(); ++i)
        numbers << tr("Kanal %1").arg(i + 1);
    table_->setVerticalHeaderLabels(numbers);
    colors_.resize(rows.size());
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const ChannelSetting& s = rows[static_cast<std::size_t>(r)];
        const auto text = [&](Column c, const QString& v, const QString& hint = {}) {
            auto* item = new QTableWidgetItem(v);
            item->setToolTip(hint);
            table_->setItem(r, c, item);
        };
        const QString device = static_cast<std::size_t>(r) < deviceNames.size()
                                   ? deviceNames[static_cast<std::size_t>(r)]
                                   : QString();
        auto* given = new QTableWidgetItem(device);
        given->setFlags(Qt::ItemIsEnabled);
        given->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
        table_->setItem(r, cDevice, given);
        text(cName, s.Name, tr("Leer: der Name vom Gerät"));
        text(cUnit, s.Unit);
        const QString same = tr("Leer: wie Kanal 1");
        text(cScale, s.Scale, r == 0 ? QString() : same);
        text(cOffset, s.Offset, r == 0 ? tr("Ganze Zahl") : same);
        colors_[static_cast<std::size_t>(r)] = s.Color;
        auto* color = new QPushButton(table_);
        color->setFlat(true);
        PaintSwatch(*color, s.Color);
        connect(color, &QPushButton::clicked, this, [this, r, color] {
            const QColor chosen =
                QColorDialog::getColor(QColor(Canvas::ToRgb(colors_[static_cast<std::size_t>(r)])), this,
                                       tr("Farbe von Kanal %1").arg(r + 1));
            if (!chosen.isValid()) return;
            colors_[static_cast<std::size_t>(r)] = Canvas::FromRgb(chosen.rgb());
            PaintSwatch(*color, colors_[static_cast<std::size_t>(r)]);
        });
        table_->setCellWidget(r, cColor, color);
        auto* shown = new QTableWidgetItem();
        shown->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        shown->setCheckState(s.Shown ? Qt::Checked : Qt::Unchecked);
        table_->setItem(r, cShown, shown);
        auto* axis = new QComboBox(table_);
        axis->addItems({tr("Links"), tr("Rechts")});
        if (r >= 1 && r <= 14) axis->addItem(tr("Eigene Spur")); // a lane: channels 2 … 15
        axis->setCurrentIndex(s.Lane && axis->count() > 2 ? 2 : s.Right ? 1 : 0);
        table_->setCellWidget(r, cAxis, axis);
    }
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(cName, QHeaderView::Stretch);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    trail_->setRange(0, 100'000'000);
    trail_->setValue(trail);
    trail_->setSpecialValueText(tr("alle"));
    trail_->setSuffix(tr(" Punkte"));
    auto* trailRow = new QHBoxLayout;
    trailRow->addWidget(new QLabel(tr("Mit \"X: Kanal N\" die letzten"), this));
    trailRow->addWidget(trail_);
    trailRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addLayout(trailRow);
    layout->addWidget(buttons);
    resize(820, std::min(140 + 30 * static_cast<int>(rows.size()), 600));
}

int ChannelDialog::Trail() const {
    return trail_->value();
}

std::vector<ChannelSetting> ChannelDialog::Rows() const {
    std::vector<ChannelSetting> rows(static_cast<std::size_t>(table_->rowCount()));
    for (int r = 0; r < table_->rowCount(); ++r) {
        ChannelSetting& s = rows[static_cast<std::size_t>(r)];
        s.Name = table_->item(r, cName)->text().trimmed();
        s.Unit = table_->item(r, cUnit)->text().trimmed();
        s.Scale = table_->item(r, cScale)->text().trimmed();
        s.Offset = table_->item(r, cOffset)->text().trimmed();
        s.Color = colors_[static_cast<std::size_t>(r)];
        s.Shown = table_->item(r, cShown)->checkState() == Qt::Checked;
        const int axis = static_cast<QComboBox*>(table_->cellWidget(r, cAxis))->currentIndex();
        s.Right = axis == 1;
        s.Lane = axis == 2;
    }
    return rows;
}
