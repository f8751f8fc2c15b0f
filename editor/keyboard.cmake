# sources of this area are added to the editor library here
