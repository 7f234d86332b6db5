#pragma once

#include "app/mesa_ponte/TFormPalms.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSystemTrayIcon;
class QTextEdit;
class QTimer;
class RadioGroup;
class TImage;

// The main window's controls and components under their stored names, owned by their Qt
// parents; each keeps its name as its objectName too.
struct TFormPalms::Ui {
    // Title bar.
    QFrame* Panel3 = nullptr;
    TImage* Image4 = nullptr;
    QLabel* Label52 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;

    // Body.
    QFrame* Panel2 = nullptr;
    TImage* Image1 = nullptr;
    QLabel* Label33 = nullptr;
    QLabel* Label45 = nullptr;
    QLabel* Label51 = nullptr;
    QLabel* Label30 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label32 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QLabel* Label36 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QLabel* Label35 = nullptr;
    QComboBox* ComboBox4 = nullptr;
    QLabel* Label37 = nullptr;
    QComboBox* ComboBox5 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLabel* Label44 = nullptr;
    QLabel* Label34 = nullptr;
    QLineEdit* Edit22 = nullptr;
    QLabel* Label31 = nullptr;
    QLineEdit* Edit28 = nullptr;
    RadioGroup* RadioGroup1 = nullptr;
    RadioGroup* RadioGroup2 = nullptr;
    RadioGroup* RadioGroup3 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn3 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    // The port panel.
    QFrame* Panel6 = nullptr;
    QFrame* Panel1 = nullptr;
    QLineEdit* Edit29 = nullptr;
    QLineEdit* Edit30 = nullptr;
    QLineEdit* Edit31 = nullptr;
    QLineEdit* Edit32 = nullptr;
    QLineEdit* Edit33 = nullptr;

    // Network addresses of the printers, beyond the window's right edge.
    QFrame* Panel5 = nullptr;
    QFrame* Panel4 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QLineEdit* Edit23 = nullptr;
    QLineEdit* Edit24 = nullptr;
    QLineEdit* Edit25 = nullptr;
    QLineEdit* Edit26 = nullptr;
    QLineEdit* Edit27 = nullptr;

    // Hidden line buffers and the composition area of tickets and bills.
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo3 = nullptr;
    QTextEdit* impvalto = nullptr;

    QTimer* Timer1 = nullptr;     // 400 ms, off at start
    QTimer* Timer2 = nullptr;     // 5000 ms, the polling cycle, off until Timer3 fires
    QTimer* Timer3 = nullptr;     // 2000 ms, once, after start-up
    QTimer* Timer4 = nullptr;     // never switched on
    QTimer* RetryTimer = nullptr; // 10 000 ms, once, while polling waits to be tried again
    QSystemTrayIcon* TrayIcon1 = nullptr;
};
