#pragma once
#include <functional>
#include <utility>

class DocEditor;

// The document window's in-place editor, made when it is first used: a
// document opened to be read or printed never needs it, and it is the
// costliest single part of a new window. Used as a pointer, it makes the
// editor; ifMade() looks without making it.
class EditorSlot
{
public:
    explicit EditorSlot(std::function<DocEditor *()> make)
        : m_make(std::move(make))
    {
    }
    EditorSlot(const EditorSlot &) = delete;
    EditorSlot &operator=(const EditorSlot &) = delete;

    DocEditor *operator->() const { return get(); }
    operator DocEditor *() const { return get(); }
    // The editor if it has been made, else nullptr.
    DocEditor *ifMade() const { return m_editor; }

private:
    DocEditor *get() const
    {
        if (!m_editor)
            m_editor = m_make();
        return m_editor;
    }

    std::function<DocEditor *()> m_make;
    mutable DocEditor *m_editor = nullptr;
};
