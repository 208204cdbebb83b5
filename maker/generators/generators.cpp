// maker/generators: placeholder translation unit so the library exists before its routines.
namespace folio::generators {}
