/* The window skin: a Qt style sheet read at start-up. */
QPushButton {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fdfdfd, stop: 1 #dfe4ea);
    border: 1px solid #8a97a8;
    border-radius: 3px;
    color: #1d2a3a;
}
QPushButton:hover {
    background-color: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #cfe0f3);
    border-color: #3f74b5;
}
QPushButton:pressed {
    background-color: #bcd3ee;
}
QProgressBar {
    border: 1px solid #8a97a8;
    border-radius: 3px;
    background-color: #ffffff;
    color: #1d2a3a;
    text-align: center;
}
QProgressBar::chunk {
    background-color: #7fb2e5;
}
QTreeView {
    border: 1px solid #8a97a8;
    background-color: #ffffff;
}
QHeaderView::section {
    background-color: #e8ecf1;
    border: 0px;
    border-right: 1px solid #b6c0cc;
    border-bottom: 1px solid #b6c0cc;
    padding: 2px 4px;
}
