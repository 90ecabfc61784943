// The help listing: one entry per declared key, keyed options first.
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/system.h>

#include <cstdio>

namespace {

// How an entry is laid out.
enum class Layout {
  Line,    // " %-10s  description"
  Own,     // the option text on its own line, then an indented title
  Domain,  // the option text alone, a title and the domain lines
};

struct HelpEntry {
  res_type key;
  const char *option;
  const char *text;  // description, or title line for Own/Domain
  Layout layout;
  const char *extra;  // a further line printed as it stands, or null
};

constexpr const char *kRegionTitle = "             Region to be used for plotting and gridding\n";

constexpr HelpEntry kHelp[] = {
    {RES_help, "-h", "Print this help", Layout::Line, nullptr},
    {RES_batch, "-ba", "Run program in batch mode", Layout::Line, nullptr},
    {RES_message, "-me level", "Message level to be displayed:", Layout::Line,
     "               none,print,error,warn,mess,out1,*out2,out3,out4,debug\n"},
    {RES_ingestor, "-di name", "Ingestor type: kav,whole,split,ldm,none", Layout::Line, nullptr},
    {RES_name_conv, "-nc type", "Naming convention file name", Layout::Line, nullptr},
    {RES_in_files, "-if type[,...]", "Input data file type", Layout::Line, nullptr},
    {RES_in_file, "-if type", "Input data file type", Layout::Line, nullptr},
    {RES_out_file, "-of type", "Output file type", Layout::Line, nullptr},
    {RES_input, "-in type", "Type of input", Layout::Line, nullptr},
    {RES_inputg, "-inp type", "Type of input", Layout::Line, nullptr},
    {RES_output, "-ou type", "Type of output", Layout::Line, nullptr},
    {RES_file_path, "-fp path", "File path", Layout::Line, nullptr},
    {RES_data_path, "-dp path", "Raw data path", Layout::Line, nullptr},
    {RES_con_path, "-cp path", "Converted data path", Layout::Line, nullptr},
    {RES_raw_path, "-rp path", "Raw files path", Layout::Line, nullptr},
    {RES_grid_path, "-gp path", "Gridded data path", Layout::Line, nullptr},
    {RES_watch_path, "-wp path", "Watch file data path", Layout::Line, nullptr},
    {RES_image_path, "-ip path", "Image file path", Layout::Line, nullptr},
    {RES_text_path, "-tp path", "Text file path", Layout::Line, nullptr},
    {RES_model_path, "-mp path", "Model file path", Layout::Line, nullptr},
    {RES_sat_path, "-sp path", "Satellite file path", Layout::Line, nullptr},
    {RES_map_file, "-mf file[,file]", "Map database files", Layout::Line, nullptr},
    {RES_city_file, "-cf file", "City database file name", Layout::Line, nullptr},
    {RES_bull_file, "-bf file", "Bulletin file name", Layout::Line, nullptr},
    {RES_log_file, "-lf file", "Log file name", Layout::Line, nullptr},
    {RES_file_param, "-pf param", "File parameters: use,calc,over,app", Layout::Line, nullptr},
    {RES_current, "-cu [hour]", "Use current data file", Layout::Line, nullptr},
    {RES_hour, "-ho hour", "Actual hour of the file", Layout::Line, nullptr},
    {RES_num_hour, "-nh hour[,step]", "Number of hours to view", Layout::Line, nullptr},
    {RES_decode_hour, "-dh hour", "Actual hour to decode", Layout::Line, nullptr},
    {RES_model, "-mo model", "Specific model to use", Layout::Line, nullptr},
    {RES_grid_type, "-gt number", "Specific grid type (number) to use", Layout::Line, nullptr},
    {RES_grid_num, "-gn number", "Specific grid index in file to use", Layout::Line, nullptr},
    {RES_product, "-ph header", "Specific product header", Layout::Line, nullptr},
    {RES_forecast, "-fc type", "Specific forecast product", Layout::Line, nullptr},
    {RES_state, "-st state", "Specific state to parse", Layout::Line, nullptr},
    {RES_identifier, "-id ident", "Specific station identifier", Layout::Line, nullptr},
    {RES_plot_domain, "-pd region or [proj],clat,clon[,nx,ny][,dx,dy]",
     "             Output plot domain\n", Layout::Domain, nullptr},
    {RES_grid_domain, "-gd region or [proj],clat,clon[,nx,ny][,dx,dy]",
     "             Grid domain\n", Layout::Domain, nullptr},
    {RES_region, "-re region or [proj],clat,clon[,nx,ny][,dx,dy]", kRegionTitle, Layout::Domain,
     "               us,ne,at,se,mw,sp,nw,sw,var\n"},
    {RES_time, "-ft time", "Forecast time to be plotted or contoured", Layout::Line, nullptr},
    {RES_level, "-le level", "Vertical level to be plotted or contoured", Layout::Line, nullptr},
    {RES_variable, "-va var", "Variable to be plotted or contoured", Layout::Line, nullptr},
    {RES_stat_prior, "-pr prior", "Priority of stations used in the plot", Layout::Line, nullptr},
    {RES_object_param, "-oa smooth[,radinf,pass,conv,min]",
     "             Objective analysis parameters\n", Layout::Own, nullptr},
    {RES_con_interval, "-in intrvl", "Contour interval", Layout::Line, nullptr},
    {RES_plot_type, "-pl type", "Plot type: cf,lcf,ln,dln,ndln,value,none", Layout::Line, nullptr},
    {RES_draw, "-dr param[,...]", "Draw components: text,data,sum,map,none", Layout::Line, nullptr},
    {RES_parameter, "-pa param[,...]", "Program parameters", Layout::Line, nullptr},
    {RES_table, "-ta", "Prints a table", Layout::Line, nullptr},
    {RES_plot_scale, "-sc scale", "Text and wind vector scale factor", Layout::Line, nullptr},
    {RES_con_base, "-cb base", "Color fill contour/vector base value", Layout::Line, nullptr},
    {RES_plot_format, "-fm format", "Numeric format", Layout::Line, nullptr},
    {RES_plot_param, "-pp param", "Plot parameters", Layout::Line, nullptr},
    {RES_label, "-la label", "Plot labels", Layout::Line, nullptr},
    {RES_color_table, "-ct file", "Color table file name", Layout::Line, nullptr},
    {RES_background, "-bg clr", "Background color", Layout::Line, nullptr},
    {RES_color_text, "-cot clr", "Text color", Layout::Line, nullptr},
    {RES_color_data, "-cod clr", "Data plotting color", Layout::Line, nullptr},
    {RES_color_map, "-com clr", "line map color", Layout::Line, nullptr},
    {RES_color_grid, "-cogr clr", "grid color", Layout::Line, nullptr},
    {RES_color_line, "-coln clr", "Lat-lon line color", Layout::Line, nullptr},
    {RES_color_cmap, "-cocm clr", "Fill map color", Layout::Line, nullptr},
    {RES_color_cont, "-coco clr", "Line contour color", Layout::Line, nullptr},
    {RES_color_label, "-cola clr", "Line label color", Layout::Line, nullptr},
    {RES_color_clabel, "-cocl clr", "Fill label color", Layout::Line, nullptr},
    {RES_color_fill, "-cof clr[,...]", "Fill contour colors", Layout::Line, nullptr},
    {RES_color_front, "-cofr hclr,lclr,cclr,wclr,oclr,tclr", "Front colors", Layout::Line, nullptr},
    {RES_color_watch, "-cowa sclr,tclr", "Watch box colors", Layout::Line, nullptr},
    {RES_color_cloud, "-cocd clr", "Cloud cover symbol colors", Layout::Line, nullptr},
    {RES_color_wind, "-cowd clr", "Wind barb colors", Layout::Line, nullptr},
    {RES_color_wx, "-cowx clr", "Weather symbol colors", Layout::Line, nullptr},
    {RES_color_pop, "-copp clr", "Probablilty of precipitation color", Layout::Line, nullptr},
    {RES_color_sound, "-cosd tclr,tdclr", "Sounding colors", Layout::Line, nullptr},
    {RES_color_therm, "-coth pclr,tclr,daclr,maclr,mrclr", "Thermodynamic diagram colors",
     Layout::Line, nullptr},
    {RES_color_thrmtxt, "-cott pclr,tclr,daclr,maclr,mrclr", "Thermodynamic diagram text colors",
     Layout::Line, nullptr},
    {RES_color_hodo, "-coh dclr,sclr,hclr", "Hodograph colors", Layout::Line, nullptr},
    {RES_color_hodtxt, "-coht dclr,sclr,hclr", "Hodograph text colors", Layout::Line, nullptr},
    {RES_font_list, "-fl list", "List of fonts to use", Layout::Line, nullptr},
    {RES_window_num, "-wn dev[,name]", "ZIVAvaz window number", Layout::Line, nullptr},
    {RES_device, "-de dev[,name]", "Output device: d,p,q,w,m", Layout::Line, nullptr},
    {RES_title, "-ti title", "Window title", Layout::Line, nullptr},
    {RES_geometry, "-ge wxh+x+y", "Window geometry", Layout::Line, nullptr},
    {RES_icon, "-ic", "Open window iconified", Layout::Line, nullptr},
    {RES_commands, "-cd cmd[;cmd]", "Commands to be run", Layout::Line, nullptr},
    {RES_command, "command", "Commands to be run", Layout::Line, nullptr},
    {RES_filename, "file", "Input file name", Layout::Line, nullptr},
    {RES_filenames, "file [file...]", "Input file names", Layout::Line, nullptr},
    {RES_values, "val1 val2 ...", "Input values:", Layout::Line, nullptr},
};

void print_line(const char *option, const char *text) {
  MESS_print(M_PRINT, " %-10s  %s\n", option, text);
}

}  // namespace

extern "C" {

int RES_help_item(res_type res) KAV_NOEXCEPT {
  for (const HelpEntry &h : kHelp) {
    if (h.key != res) continue;
    switch (h.layout) {
      case Layout::Line:
        print_line(h.option, h.text);
        if (h.key == RES_city_file) print_line(h.option, h.text);
        break;
      case Layout::Own:
        MESS_print(M_PRINT, " %-10s\n", h.option);
        MESS_print(M_PRINT, "%s", h.text);
        break;
      case Layout::Domain:
        MESS_print(M_PRINT, " %-10s\n", h.option);
        MESS_print(M_PRINT, "%s", h.text);
        MESS_print(M_PRINT, "               region=predefined region:\n");
        MESS_print(M_PRINT, "                  us,ne,at,se,mw,sp,nw,sw,etc\n");
        MESS_print(M_PRINT,
                   "               proj=projection, clat=central latitude, clon=central "
                   "longitude,\n");
        MESS_print(M_PRINT, "               nx,ny=number of gridpoints and dx,dy=grid spacing\n");
        break;
    }
    if (h.extra) MESS_print(M_PRINT, "%s", h.extra);
    return 1;
  }
  std::printf("%d\n", static_cast<int>(res));
  return 1;
}

int RES_help_print(const char *name, const res_type *res_key,
                   const res_type *res_pos) KAV_NOEXCEPT {
  if (!name) name = "";
  MESS_print(M_PRINT, "%s syntax (version:%s)\n", name, KAV_version());
  MESS_print(M_PRINT, "   %s [options...]\n", name);
  MESS_print(M_PRINT, "Keyed options...\n");
  print_line("-df file", "Resource/defaults file name");
  print_line("-na name", "Program name");
  for (const res_type *k = res_key; k && *k != RES_null; ++k) RES_help_item(*k);
  MESS_print(M_PRINT, "Positional options...\n");
  for (const res_type *k = res_pos; k && *k != RES_null; ++k) RES_help_item(*k);
  return 1;
}

}  // extern "C"
