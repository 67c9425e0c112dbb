// What the screen shows while the link to the unit is down: the text and
// layer 0 cleared when it is lost, "Not Connected." while the port is being
// reopened. A live session and a recording rendered afterwards show the same.
#pragma once

class ScreenIntf;

void showLinkLost(ScreenIntf& screen);
void showReconnecting(ScreenIntf& screen);
