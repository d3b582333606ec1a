#pragma once

#include <QtWidgets/QMainWindow>

namespace korva {

class WindowContext;

namespace storedprocs {
class CodeEditor;
class SqlHighlighter;
} // namespace storedprocs

// The full text of one stored procedure, coloured as SQL by the language
// definition "SQL.lng" in the program folder, with line numbers. There is one
// source view; showing another procedure replaces its text and caption.
class frmStoredProcSource : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmStoredProcSource(WindowContext &context, QWidget *parent = nullptr);
    ~frmStoredProcSource() override;

    // Text and caption of the procedure to show.
    void showSource(const QString &procedureName, const QString &text);

    storedprocs::CodeEditor *editor() const { return m_editor; }
    // The text is coloured: the language definition was read.
    bool isColoured() const { return m_highlighter != nullptr; }

private:
    void Form_Load();
    void Form_Resize();

    storedprocs::CodeEditor *m_editor;
    storedprocs::SqlHighlighter *m_highlighter = nullptr;
};

} // namespace korva
