#pragma once

#include "platform/graphics/Picture.h"

#include <QWidget>

// The window library's image control: shows its picture, stretched, proportional or at its
// own size, by painting it into a device context of the widget's size and showing that
// context's pixels. Owns its picture. Main thread only; exceptions from the picture during a
// paint are swallowed (a paint event must not throw), the area stays unpainted.
class TImage : public QWidget {
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);
    ~TImage() override;

    TPicture& Picture() { return m_picture; }
    bool Stretch() const { return m_stretch; }
    void SetStretch(bool value);
    bool Proportional() const { return m_proportional; }
    void SetProportional(bool value);
    bool Center() const { return m_center; }
    void SetCenter(bool value);
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool value);

    // Where the picture is painted, in the widget's coordinates.
    TRect DestRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void pictureChanged();

    TPicture m_picture;
    bool m_stretch = false;
    bool m_proportional = false;
    bool m_center = false;
    bool m_transparent = false;
};

// Reads a stored picture (length byte, class name, encoded bytes) from a file into the
// image. A class that is not registered, or a file that cannot be read, leaves the image
// empty: a window opens either way.
void loadStoredPicture(TImage* image, const QString& path);
