#pragma once
#include <QColor>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The look of a free text on the document page.
struct FreeText
{
    QString text;
    QColor color = Qt::black;
    double pointSize = 9;
    bool bold = false;
    bool underline = false;
};

// What "決定" hands to the document window. The receiver sets its floating
// text (LbMoji) to `look`, shows it, puts its "×" button at the label's
// top-right corner as the label is after the new caption and size, and sets
// TextPending to !edited: a new text follows the mouse, an edited one stays.
struct FreeTextHandOver
{
    FreeText look;
    bool edited = false;
};

// The text dialog: collects a free text and its size, boldness, underline and
// colour. Exists at most once; every opening starts from the design values.
class F文字挿入 : public QWidget
{
public:
    // New text: loads (if needed) and shows the dialog.
    static F文字挿入 *showNew();
    // Edit of the floating text: shows the dialog with the text box set to
    // `current` and the mode label to "1". The size box and the two check
    // boxes keep their state.
    static F文字挿入 *showForEdit(const FreeText &current);
    static F文字挿入 *loaded();
    static void unload();
    static void setHandOver(std::function<void(const FreeTextHandOver &)> handOver);

    // The text box's look as "決定" would hand it over.
    FreeText currentLook() const;
    // Swatch colours of this dialog (index 0-7).
    static QColor swatchColor(int index);

    QLineEdit *Txt文字;
    QLabel *LabelSize;
    QComboBox *ComboFontSize;
    QCheckBox *CheckBold;
    QCheckBox *CheckUnderLine;
    QGroupBox *Frame色;
    QPushButton *CmdFontColor;
    std::array<QLabel *, 8> Label色{};
    QLabel *LabelIndex;
    QPushButton *CmdOK;
    QPushButton *Cmdキャンセル;

    void CheckBold_Click();
    void CheckUnderLine_Click();
    void ComboFontSize_Click();
    void CmdFontColor_Click();
    void Label色_Click(int index);
    void CmdOK_Click();
    void Cmdキャンセル_Click();

protected:
    // The close box does what ｷｬﾝｾﾙ does.
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    F文字挿入();
    void setTextColor(const QColor &color);
    void setTextFont(const QFont &font);
    QColor m_color = Qt::black;
};
