#pragma once

#include "EditorTypes.h"
#include "IParameter.h"
#include "raster/RAS_Bitmap.h"

#include <string_view>

class TextRenderer;

// The value entry for window systems that lend us no text field or drop-down list: a
// small widget that keeps its own state and draws itself into a bitmap of its own, with
// no window system in sight. A parameter with value texts gets a dropped list, any other
// a text field. The window around it shows Picture() at Rect(), feeds it keys and clicks,
// and on each panel tick does what Tick() answers. It behaves as the Windows entry does:
// the user types or picks, Enter or a pick commits, a right-click cancels, and while the
// user is not typing the shown value follows the parameter. UI thread only.
class ValueEntryWidget {
public:
    enum class Key { Commit, Cancel, Up, Down, Erase };
    // What a panel tick does with an open entry.
    enum class Step {
        Panel,  // go on with the panel's own tick
        Skip,   // the tick ends here
        Commit, // take CommittedValue() into the control, then close the entry
        Close,  // cancelled: close the entry
    };

    // Over controlRect, moved into a panel of panelWidth x panelHeight where it can be, all
    // in device pixels, at the panel's scale. Without a text renderer the entry works and
    // draws no text.
    ValueEntryWidget(const IParameter& parameter, const IRectangle& controlRect, int panelWidth,
                     int panelHeight, TextRenderer* text, double scale = 1.0);
    ValueEntryWidget(const ValueEntryWidget&) = delete;
    ValueEntryWidget& operator=(const ValueEntryWidget&) = delete;

    // Where the entry stands in the panel.
    const IRectangle& Rect() const { return rect; }
    bool IsList() const { return list; }
    // The text field's text, or the chosen item's ("" for none).
    const char* Text() const;
    // The chosen item of a list, -1 for none.
    int Selection() const { return selection; }

    // Input; each answers whether the entry took it. Typed text counts only its
    // printable ASCII characters.
    bool Type(std::string_view typed);
    bool Press(Key key);
    // The primary button at (x, y) in the entry.
    bool Click(int x, int y);
    // A right-click anywhere in the panel.
    void Cancel();
    // Whether the entry holds the keyboard focus, as its window reports it.
    void SetFocused(bool hasFocus);
    bool Focused() const { return focused; }
    // The user is editing: the panel holds still and takes no mouse input.
    bool Typing() const { return state == State::Typing; }
    // Committed or cancelled: the entry takes no more input.
    bool Finished() const { return state == State::Commit || state == State::Cancel; }

    // On each panel tick, before the panel's own work.
    Step Tick();
    // The panel redrew: show the parameter's value again at the next tick.
    void PanelRedrew();
    // The entered value, normalized: a list's chosen item, or the text read as a decimal
    // number (0 when it does not start with one).
    double CommittedValue() const;

    // Redraws the picture when the entry changed since the last call; whether it did.
    bool Draw();
    const RAS_IBitmap& Picture() const { return pixels; }

private:
    enum class State { Idle, Typing, Refresh, Cancel, Commit };

    int ItemCount() const { return parameter.ValueTextCount(); }
    const char* ItemText(int i) const;
    void ShowParameterValue();
    void DrawList(TextRenderer* renderer);
    void DrawField(TextRenderer* renderer);
    // Panel units at the entry's scale.
    int Px(int units) const;

    const IParameter& parameter;
    TextRenderer* text;
    double scale;
    IRectangle rect;
    bool list = false;
    State state = State::Idle;
    char field[kParameterTextSize] = {};
    bool replaceText = true; // the shown value is selected: the first key replaces it
    int selection = -1;
    bool focused = false;
    bool stale = true;
    RAS_MemBitmap pixels;
};
