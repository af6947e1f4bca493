// The controls the application controller drives, as small interfaces, each with a plain
// implementation that only keeps its state (the headless front and the tests use those; the
// graphical front implements the interfaces over widgets). Every plain control calls its
// `changed` callback after a change, so a front can observe it.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

/// A push button that can be switched on (the Go button while a batch runs), enabled, hidden.
class uiButton {
public:
    virtual ~uiButton() = default;
    virtual void setOn(bool on) = 0;
    virtual bool isOn() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual bool isHidden() const = 0;
};

/// A segmented control: segments carry an image name ("btPause", "btPlayHud"...) and a label;
/// at most one is selected (-1: none).
class uiSegmented {
public:
    virtual ~uiSegmented() = default;
    virtual int32_t segmentCount() const = 0;
    virtual QString imageName(int32_t segment) const = 0;
    virtual void setImageName(int32_t segment, const QString &name) = 0;
    virtual QString label(int32_t segment) const = 0;
    virtual int32_t selectedSegment() const = 0;
    virtual void setSelectedSegment(int32_t segment) = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual bool isHidden() const = 0;
};

/// A progress bar: determinate with a range, or indeterminate and animated.
class uiProgressBar {
public:
    virtual ~uiProgressBar() = default;
    virtual void setIndeterminate(bool indeterminate) = 0;
    virtual void setMinValue(double value) = 0;
    virtual void setMaxValue(double value) = 0;
    virtual double maxValue() const = 0;
    virtual void setValue(double value) = 0;
    virtual double value() const = 0;
    virtual void setAnimating(bool animating) = 0;
};

/// A text field (also used for captions).
class uiTextField {
public:
    virtual ~uiTextField() = default;
    virtual void setText(const QString &text) = 0;
    virtual QString text() const = 0;
    virtual void setHidden(bool hidden) = 0;
    virtual bool isHidden() const = 0;
};

/// The drop area: its picture ("dndSd" idle, "dndSdOff" busy), caption and action text.
class uiDropArea {
public:
    virtual ~uiDropArea() = default;
    virtual void setImageName(const QString &name) = 0;
    virtual QString imageName() const = 0;
    virtual void setCaptionHidden(bool hidden) = 0;
    virtual void setActionTextHidden(bool hidden) = 0;
};

/// The batch drawer.
class uiDrawer {
public:
    virtual ~uiDrawer() = default;
    virtual bool isOpen() const = 0;
    virtual void open() = 0;
    virtual void close() = 0;
};

class plainButton : public uiButton {
public:
    std::function<void()> changed;
    void setOn(bool on) override;
    bool isOn() const override { return on_; }
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void setHidden(bool hidden) override;
    bool isHidden() const override { return hidden_; }

private:
    void notify() const;
    bool on_ = false;
    bool enabled_ = true;
    bool hidden_ = false;
};

class plainSegmented : public uiSegmented {
public:
    /// Segments by image name and label.
    explicit plainSegmented(const QStringList &imageNames = {}, const QStringList &labels = {});
    std::function<void()> changed;
    int32_t segmentCount() const override { return static_cast<int32_t>(images_.size()); }
    QString imageName(int32_t segment) const override { return images_.value(segment); }
    void setImageName(int32_t segment, const QString &name) override;
    QString label(int32_t segment) const override { return labels_.value(segment); }
    int32_t selectedSegment() const override { return selected_; }
    void setSelectedSegment(int32_t segment) override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return enabled_; }
    void setHidden(bool hidden) override;
    bool isHidden() const override { return hidden_; }

private:
    void notify() const;
    QStringList images_;
    QStringList labels_;
    int32_t selected_ = -1;
    bool enabled_ = true;
    bool hidden_ = false;
};

class plainProgressBar : public uiProgressBar {
public:
    std::function<void()> changed;
    void setIndeterminate(bool indeterminate) override;
    bool isIndeterminate() const { return indeterminate_; }
    void setMinValue(double value) override;
    void setMaxValue(double value) override;
    double maxValue() const override { return max_; }
    void setValue(double value) override;
    double value() const override { return value_; }
    void setAnimating(bool animating) override;
    bool isAnimating() const { return animating_; }

private:
    void notify() const;
    bool indeterminate_ = false;
    bool animating_ = false;
    double min_ = 0;
    double max_ = 100;
    double value_ = 0;
};

class plainTextField : public uiTextField {
public:
    std::function<void()> changed;
    void setText(const QString &text) override;
    QString text() const override { return text_; }
    void setHidden(bool hidden) override;
    bool isHidden() const override { return hidden_; }

private:
    void notify() const;
    QString text_;
    bool hidden_ = false;
};

class plainDropArea : public uiDropArea {
public:
    std::function<void()> changed;
    void setImageName(const QString &name) override;
    QString imageName() const override { return image_; }
    void setCaptionHidden(bool hidden) override;
    bool isCaptionHidden() const { return captionHidden_; }
    void setActionTextHidden(bool hidden) override;
    bool isActionTextHidden() const { return actionHidden_; }

private:
    void notify() const;
    QString image_ = QStringLiteral("dndSd");
    bool captionHidden_ = false;
    bool actionHidden_ = true;
};

class plainDrawer : public uiDrawer {
public:
    std::function<void()> changed;
    bool isOpen() const override { return open_; }
    void open() override;
    void close() override;

private:
    bool open_ = false;
};
