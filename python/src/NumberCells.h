#ifndef BNSCORE_PYTHON_NUMBERCELLS_H_
#define BNSCORE_PYTHON_NUMBERCELLS_H_

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

// Reads a list of str as the cells of a number field, as `bnscore score`
// reads CSV cells with the default missing values. Returns (values
// float64[n], kinds int8[n]): per cell its bnscore::NumberCellKind as an
// int (0 missing, 1 number, 2 not finite, 3 not a number) and, for kinds 1
// and 2, its number (NaN otherwise). Throws pybind11::type_error for an
// entry that is not a str. Call with the GIL held.
pybind11::tuple ReadNumberCells(const pybind11::list& texts);

#endif  // BNSCORE_PYTHON_NUMBERCELLS_H_
