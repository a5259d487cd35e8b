// The pages of the main window's stack, in stack order.
#pragma once

enum class Page : int { Home, Setup, TestHw, Parameters, Debug, Authentication, BoardConfiguration };
