#include "input_box_accessible.h"

#include <algorithm>

#include "input_box.h"

namespace velmor {

InputBoxAccessible::InputBoxAccessible(InputBox* box)
    : QAccessibleWidget(box, QAccessible::EditableText) {}

InputBox* InputBoxAccessible::Box() const {
    return static_cast<InputBox*>(widget());
}

QString InputBoxAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value) return Box()->text();
    return QAccessibleWidget::text(type);
}

void InputBoxAccessible::setText(QAccessible::Text type, const QString& text) {
    if (type != QAccessible::Value) return QAccessibleWidget::setText(type, text);
    Box()->selectAll();
    Box()->insert(text);
}

QAccessible::State InputBoxAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.selectableText = true;
    return state;
}

void* InputBoxAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

void InputBoxAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !Box()->hasSelectedText()) return;
    *startOffset = Box()->selectionStart();
    *endOffset = *startOffset + Box()->selectionLength();
}

int InputBoxAccessible::selectionCount() const {
    return Box()->hasSelectedText() ? 1 : 0;
}

void InputBoxAccessible::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void InputBoxAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0) Box()->deselect();
}

void InputBoxAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex == 0) Box()->setSelection(startOffset, endOffset - startOffset);
}

int InputBoxAccessible::cursorPosition() const {
    return Box()->cursorPosition();
}

void InputBoxAccessible::setCursorPosition(int position) {
    Box()->setCursorPosition(position);
}

QString InputBoxAccessible::text(int startOffset, int endOffset) const {
    if (startOffset > endOffset) return {};
    return Box()->text().mid(startOffset, endOffset - startOffset);
}

int InputBoxAccessible::characterCount() const {
    return int(Box()->text().size());
}

QRect InputBoxAccessible::characterRect(int offset) const {
    const QRect place = Box()->CharacterRect(offset);
    return place.isEmpty() ? place : place.translated(Box()->mapToGlobal(QPoint(0, 0)));
}

int InputBoxAccessible::offsetAtPoint(const QPoint& point) const {
    return Box()->PositionAt(Box()->mapFromGlobal(point));
}

void InputBoxAccessible::scrollToSubstring(int startIndex, int endIndex) {
    Box()->ShowPosition(endIndex);
    Box()->ShowPosition(startIndex);
}

QString InputBoxAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = offset;
    return {};
}

void InputBoxAccessible::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, {});
}

void InputBoxAccessible::insertText(int offset, const QString& text) {
    replaceText(offset, offset, text);
}

void InputBoxAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    const int size = characterCount();
    const int start = std::clamp(startOffset, 0, size), end = std::clamp(endOffset, start, size);
    Box()->setSelection(start, end - start);
    Box()->insert(text);
}

QAccessibleInterface* AccessibleInputBox(const QString& className, QObject* object) {
    if (className == QLatin1String(InputBox::staticMetaObject.className()))
        return new InputBoxAccessible(static_cast<InputBox*>(object));
    return nullptr;
}

}  // namespace velmor
