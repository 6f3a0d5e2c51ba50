#pragma once

#include "model/Badge.h"
#include "model/SpaceInfo.h"

#include <QDialog>
#include <QImage>

#include <functional>
#include <optional>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tandrel {

// Choosing how an instance's badge looks: a colour of the palette or any other, one or two
// characters, or an image; the icon is shown as it will be drawn.
class BadgeDialog : public QDialog
{
    Q_OBJECT
public:
    BadgeDialog(const SpaceInfo &space, QWidget *parent = nullptr);

    Badge badge() const { return m_badge; }
    QList<QAbstractButton *> swatches() const;
    QLineEdit *labelField() const { return m_label; }
    QLabel *preview() const { return m_preview; }
    QPushButton *removeImageButton() const { return m_removeImage; }
    // Takes the image of the file, read in the background; the preview follows.
    void useImageFile(const QString &path);

private:
    void chooseCustomColor();
    void chooseImage();
    void updatePreview();
    void updateSelection();

    SpaceInfo m_space;
    QString m_name;
    Badge m_badge;
    QImage m_appIcon;
    QLabel *m_preview = nullptr;
    QButtonGroup *m_colors = nullptr;
    QPushButton *m_custom = nullptr;
    QLineEdit *m_label = nullptr;
    QPushButton *m_removeImage = nullptr;
    QLabel *m_error = nullptr;
    QPushButton *m_save = nullptr;
};

// What the user chose, or nothing when the dialog was cancelled.
using BadgeAsker = std::function<std::optional<Badge>(const SpaceInfo &space, QWidget *parent)>;
// Asks through the installed asker (by default the dialog).
std::optional<Badge> askForBadge(const SpaceInfo &space, QWidget *parent);
// Replaces the asker (tests); an empty one restores the dialog.
void setBadgeAsker(BadgeAsker asker);

} // namespace tandrel
