// The frame both Wirelet windows share: a fixed client size, centred on the
// screen, with a caption, system menu, minimise and close boxes.
#pragma once

class QWidget;

void SetUpFixedWindow(QWidget* window, int clientWidth, int clientHeight);
void CentreOnScreen(QWidget* window);
