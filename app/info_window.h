#pragma once
// The info window: product name, version, author; shown modeless on top, hidden by "Close".

#include <QWidget>

#include <vector>

class QLabel;
class QPushButton;

class TFormInfo : public QWidget {
    Q_OBJECT
public:
    TFormInfo(QWidget* mainWindow, double scale);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Button1 = nullptr;

    void Button1Click();
    // Shows the window centred on the main window.
    void ShowCentred();

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* main_;
    std::vector<QLabel*> lines_; // the lines about the program, the translated ones first
};
