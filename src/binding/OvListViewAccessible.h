#pragma once

// What assistive technology sees of a list view: a table of the columns the user sees. A column of
// width 0 stays in the list (its rows keep its text) but is not a column for a screen reader: the
// column count, the header names, the cells and their column positions leave it out.
//
// Installs the accessibility factory for OvListView once for the process; the list view's
// constructor calls it, before the first interface is asked for.
void InstallListViewAccessibility();
