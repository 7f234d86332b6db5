#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QFrame;
class QLabel;
class QTextEdit;
class QToolButton;
class TImage;

// The report preview window: read-only text, printer choice, print, save as rich text,
// close. Created anew for each preview and shown modally through the modal seam
// (platform/widgets/ModalSeam.h); the caller owns it. Constructing it builds the stored
// layout and runs FormCreate under the handler guard, so a failing step shows the
// standard error box and the window is still made. Handlers are public for tests and
// guarded when the buttons run them. User-interface thread only.
class TFormVisao : public QDialog {
    Q_OBJECT
public:
    explicit TFormVisao(QWidget* parent = nullptr);
    ~TFormVisao() override;

    void FormCreate();
    void SpeedButton2Click(); // print
    void SpeedButton3Click(); // save
    void SpeedButton4Click(); // close

    static const QString SaveDialogFilter;

    QFrame* Panel1 = nullptr; // the black panel inside the 3-pixel margin
    QFrame* Panel24 = nullptr;
    TImage* Image3 = nullptr;
    QLabel* Label33 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QTextEdit* impvalto = nullptr;

private:
    void buildStoredLayout();
    void buildTitleBar();
    void buildReportText();
};
