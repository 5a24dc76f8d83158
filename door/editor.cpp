// The one-line editor: a field at the cursor, scrolled when the text is longer than the field.
#include "door/door.h"
#include "door/term/screen.h"

#include <string>

namespace {

constexpr char kBackspace = 8;
constexpr char kEnter = 13;
constexpr char kCtrlY = 25;
constexpr char kEsc = 27;
constexpr char kDelete = 127;

// The field DoorInput edits, and how it is drawn.
struct TInputField {
    std::string Text;
    std::uint8_t XPos;
    std::uint8_t Visible;
    char Password;

    // What the caller sees for ACount characters of the field, ending at its end.
    std::string Shown(std::size_t ACount) const {
        return Password != 0 ? std::string(ACount, Password) : Text.substr(Text.size() - ACount);
    }

    // Draws the whole field: its tail when it is longer than the field, else the text and blanks.
    void Redraw() const {
        DoorGotoX(XPos);
        if (Text.size() > Visible) {
            DoorWrite(Shown(Visible));
            DoorGotoX(static_cast<std::uint8_t>(XPos + Visible));
        } else {
            DoorWrite(Shown(Text.size()) + std::string(Visible - Text.size(), ' '));
            DoorGotoX(static_cast<std::uint8_t>(XPos + Text.size()));
        }
    }
};

} // namespace

std::string DoorInput(const std::string& ADefaultText, const std::string& AAllowedCharacters,
                      char APasswordCharacter, std::uint8_t AVisibleLength, std::uint8_t AMaxLength,
                      std::uint8_t AAttr) {
    const std::string defaultText = ADefaultText.substr(0, AMaxLength);
    const std::uint8_t savedAttr = LocalScreen().TextAttr();
    DoorTextAttr(AAttr);
    TInputField field{defaultText, static_cast<std::uint8_t>(LocalScreen().WhereX()),
                      AVisibleLength, APasswordCharacter};
    field.Redraw();
    char ch;
    do {
        ch = DoorReadKey();
        if (DoorLastKey.Extended) {
            ch = 0; // cursor and function keys neither edit nor end the field
        } else if ((ch == kBackspace || ch == kDelete) && !field.Text.empty()) {
            field.Text.pop_back();
            DoorWrite("\b \b");
            if (field.Text.size() >= AVisibleLength) field.Redraw();
        } else if (ch == kCtrlY && !field.Text.empty()) {
            field.Text.clear();
            field.Redraw();
        } else if (ch != 0 && AAllowedCharacters.find(ch) != std::string::npos &&
                   field.Text.size() < AMaxLength) {
            field.Text += ch;
            if (field.Text.size() > AVisibleLength) {
                field.Redraw();
            } else {
                DoorWrite(std::string(1, APasswordCharacter != 0 ? APasswordCharacter : ch));
            }
        }
    } while (ch != kEnter && ch != kEsc);
    DoorTextAttr(savedAttr);
    DoorWriteLn();
    return ch == kEsc ? defaultText : field.Text;
}
