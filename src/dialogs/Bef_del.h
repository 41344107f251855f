#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace dialogs {

// The caption band of the deletion confirmation: its text over a colour
// gradient, drawn the same whether the dialog is active or not.
class GradientCaption : public QWidget {
    Q_OBJECT

public:
    GradientCaption(const QString& text, QWidget* parent);
    QString text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};

// The deletion confirmation: "Вы точно хотите удалить" over the text to
// confirm. Its results: kYes, kNo (also Esc), kClosed (the close box).
class TBeforeDelDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kYes = 1;
    static constexpr int kClosed = 2;
    static constexpr int kNo = 7;

    explicit TBeforeDelDlg(QWidget* parent = nullptr);

    GradientCaption* GC = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LabelName = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* NoBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

public slots:
    // Esc answers No.
    void reject() override;
};

// Asks whether `text` is to be deleted; returns the dialog's result (kYes,
// kNo or kClosed).
int AskBeforeDel(const QString& text);

} // namespace dialogs
